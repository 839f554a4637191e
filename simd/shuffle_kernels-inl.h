// The kernels for processors with 16-byte shuffles but no whole-vector
// byte permutes (SSSE3 to AVX-512 without VBMI, and NEON on 64-bit ARM). A segment is turned
// a whole vector at a time from its end: the vector is reversed, translated
// through shuffleTranslation() in a dozen instructions, and stored whole;
// only a vector that holds bytes to drop is packed, 16 bytes at a time.
// The vector that holds a segment's first bytes is loaded so that it ends
// there, reaching back over bytes already decoded, and stored whole: the
// bytes past the segment's end are overwritten by what follows. So no byte
// goes through a loop of its own.
// Included by byte_kernels.cpp inside the target's namespace; no guard.

using Full = hn::ScalableTag<std::uint8_t>;
using Half = hn::Full64<std::uint8_t>;
using Vec = hn::Vec<Full>;
constexpr std::size_t width = hn::MaxLanes(Full());
static_assert(width >= 16 && width <= 64 && width % 16 == 0);
using Lanes = std::uint64_t;

// A mask's lanes as bits, lane 0 in bit 0.
HWY_INLINE Lanes BitsOf(hn::Mask<Full> m) {
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    return m.raw;
#elif HWY_ARCH_X86
    return hn::detail::BitsFromMask(m);
#else
    std::uint8_t bytes[8] = {};
    hn::StoreMaskBits(Full(), m, bytes);
    Lanes bits;
    std::memcpy(&bits, bytes, sizeof bits);
    return bits;
#endif
}

// Bit 7 - shift of each lane, lane 0 in bit 0: the lanes shifted as 16-bit
// ones, whose bits crossing into the next byte stop short of its top.
template <int shift> HWY_INLINE Lanes TopBitsAfterShift(Vec v) {
    const hn::Repartition<std::uint16_t, Full> wide;
    const Vec top = hn::BitCast(Full(), hn::ShiftLeft<shift>(hn::BitCast(wide, v)));
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    return _mm512_movepi8_mask(top.raw);
#elif HWY_ARCH_X86 && HWY_TARGET == HWY_AVX2
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(top.raw));
#elif HWY_ARCH_X86
    return static_cast<std::uint32_t>(_mm_movemask_epi8(top.raw));
#else
    const hn::RebindToSigned<Full> signedLanes;
    return BitsOf(
        hn::RebindMask(Full(), hn::Lt(hn::BitCast(signedLanes, top), hn::Zero(signedLanes))));
#endif
}

HWY_INLINE constexpr Lanes FirstLanes(std::size_t n) {
    return n >= 64 ? ~Lanes{0} : (Lanes{1} << n) - 1;
}

struct Tables {
    Vec rowKey, from0, from1, to0, to1;
};

HWY_INLINE Tables LoadTables() {
    const Full d;
    const ShuffleTranslation& s = shuffleTranslation();
    alignas(16) std::uint8_t from1[16], to1[16];
    for (int i = 0; i < 16; ++i) {
        from1[15 - i] = s.from[1][i];
        to1[15 - i] = s.to[1][i];
    }
    return {hn::LoadDup128(d, s.rowKey.data()), hn::LoadDup128(d, s.from[0].data()),
            hn::LoadDup128(d, from1), hn::LoadDup128(d, s.to[0].data()), hn::LoadDup128(d, to1)};
}

HWY_INLINE Vec Translated(const Tables& t, Vec v) {
    const Full d;
    // The slot, in the first half (bit 7 clear) or the second (set): a
    // lookup whose index has bit 7 set gives 0, so the halves are or-ed.
    const Vec slot = hn::Xor(v, hn::TableLookupBytes(t.rowKey, hn::ShiftRight<4>(v)));
    // The slot in the other half, its low nibble turned round (to1 and
    // from1 are kept in reverse order): Not(slot) on x86, whose shuffles
    // look at bit 7 and the low nibble only, and all ones is a register
    // the filler test has already; elsewhere (NEON) an index of 16 and more
    // gives 0 too, so bits 4 to 6 stay clear.
#if HWY_ARCH_X86
    const Vec other = hn::Not(slot);
#else
    const Vec other = hn::Xor(slot, hn::Set(d, std::uint8_t{0x8F}));
#endif
    const Vec from =
        hn::Or(hn::TableLookupBytesOr0(t.from0, slot), hn::TableLookupBytesOr0(t.from1, other));
    const Vec to =
        hn::Or(hn::TableLookupBytesOr0(t.to0, slot), hn::TableLookupBytesOr0(t.to1, other));
    return hn::IfThenElse(hn::Eq(from, v), to, v);
}

// Lane i takes lane width - 1 - i: the bytes within each 128-bit block,
// and the blocks by an immediate, not an index vector (one register fewer
// for the loops).
HWY_INLINE Vec ReversedBytes(Vec v) {
    const Full d;
    alignas(16) static constexpr std::uint8_t order[16] = {15, 14, 13, 12, 11, 10, 9, 8,
                                                           7,  6,  5,  4,  3,  2,  1, 0};
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    const Vec blocks{_mm512_shuffle_i64x2(v.raw, v.raw, 0x1B)};
#elif HWY_ARCH_X86 && HWY_TARGET == HWY_AVX2
    const Vec blocks{_mm256_permute2x128_si256(v.raw, v.raw, 0x01)};
#else
    static_assert(width == 16);
    const Vec blocks = v;
#endif
    return hn::TableLookupBytes(blocks, hn::LoadDup128(d, order));
}

// For each byte mask, the places of its set bits, lowest first, as lanes
// of a 16-byte block's low half (order[0]) and of its high half (order[1]).
struct PackOrders {
    std::uint8_t order[2][256][8];
};
constexpr PackOrders MakePackOrders() {
    PackOrders p{};
    for (int m = 0; m < 256; ++m) {
        int k = 0;
        for (int i = 0; i < 8; ++i) {
            if ((m >> i & 1) != 0) {
                p.order[0][m][k] = static_cast<std::uint8_t>(i);
                p.order[1][m][k++] = static_cast<std::uint8_t>(i + 8);
            }
        }
    }
    return p;
}
alignas(16) constexpr PackOrders packOrders = MakePackOrders();

// The width bytes stored at out, with only the lanes in keep kept, packed
// to the front; returns how many. Writes no further than out + width.
HWY_INLINE std::size_t Pack(Lanes keep, char* out) {
    const hn::Full128<std::uint8_t> b;
    const Half h;
    auto* bytes = reinterpret_cast<std::uint8_t*>(out);
    std::size_t k = 0;
    for (std::size_t i = 0; i < width; i += 16) {
        const auto m = static_cast<unsigned>(keep >> i) & 0xFFFFU;
        // A block is read before anything is written over it: k is at most i.
        const auto v = hn::LoadU(b, bytes + i);
        const auto order = hn::Combine(b, hn::LoadU(h, packOrders.order[1][m >> 8]),
                                       hn::LoadU(h, packOrders.order[0][m & 0xFFU]));
        const auto packed = hn::TableLookupBytes(v, order);
        hn::StoreU(hn::LowerHalf(h, packed), h, bytes + k);
        k += static_cast<std::size_t>(std::popcount(m & 0xFFU));
        hn::StoreU(hn::UpperHalf(h, packed), h, bytes + k);
        k += static_cast<std::size_t>(std::popcount(m >> 8));
    }
    return k;
}

// The last n bytes of the source vector v (lanes width - n to width - 1),
// back to front and translated, at out, fillers left out; with
// terminators also every CR and each LF straight after a CR (crBefore: the
// byte before the n is a CR). Stores a whole vector at out; returns the
// bytes that count.
template <bool terminators>
HWY_INLINE std::size_t Turn(const Tables& t, Vec v, std::size_t n, bool crBefore, char* out) {
    const Full d;
    const Vec r = ReversedBytes(v);
    const Lanes valid = FirstLanes(n);
    Lanes dropped = BitsOf(hn::Eq(r, hn::Set(d, fillerByte)));
    if constexpr (terminators) {
        const Lanes crs = BitsOf(hn::Eq(r, hn::Set(d, std::uint8_t{'\r'}))) & valid;
        const Lanes lfs = BitsOf(hn::Eq(r, hn::Set(d, std::uint8_t{'\n'})));
        dropped |= crs | (lfs & ((crs >> 1) | (Lanes{crBefore} << (n - 1))));
    }
    hn::StoreU(Translated(t, r), d, reinterpret_cast<std::uint8_t*>(out));
    dropped &= valid;
    if (dropped == 0)
        return n;
    return Pack(valid & ~dropped, out);
}

// The n bytes before e (fewer than width) at the end of a vector, where a
// load that ends at e would reach before what may be read: rare, and kept
// out of the loops, whose tables stay in registers.
template <class Byte> HWY_NOINLINE Vec LoadEndingAt(const Byte* e, std::size_t n) {
    alignas(64) std::uint8_t copy[width] = {};
    std::memcpy(copy + width - n, e - n, n);
    return hn::Load(Full(), copy);
}

// Bytes [first, last) back to front, translated, into out, as Turn drops
// them (before: the byte before first, or -1). Loads may reach back to
// floor, which is at most first; stores stay within last - first bytes.
template <bool terminators>
HWY_INLINE std::size_t TurnRange(const Tables& t, const unsigned char* first,
                                 const unsigned char* last, char* out, const unsigned char* floor,
                                 int before) {
    const Full d;
    // Pointers, not counts: the loop keeps nothing else.
    char* to = out;
    const unsigned char* e = last;
    const unsigned char* const wholeEnd = first + (last - first) % width;
    for (; e != wholeEnd; e -= width) {
        const unsigned char* from = e - width;
        const bool crBefore = terminators && (from != first ? from[-1] : before) == '\r';
        to += Turn<terminators>(t, hn::LoadU(d, from), width, crBefore, to);
    }
    const auto kept = static_cast<std::size_t>(to - out);
    if (e == first)
        return kept;
    const auto n = static_cast<std::size_t>(e - first);
    const Vec v =
        static_cast<std::size_t>(e - floor) >= width ? hn::LoadU(d, e - width) : LoadEndingAt(e, n);
    alignas(64) char turned[width];
    const std::size_t k = Turn<terminators>(t, v, n, before == '\r', turned);
    std::memcpy(out + kept, turned, k);
    return kept + k;
}

std::size_t ReverseTranslate(const unsigned char* first, const unsigned char* last, char* out) {
    return TurnRange<false>(LoadTables(), first, last, out, first, -1);
}

std::size_t ReverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before) {
    return TurnRange<true>(LoadTables(), first, last, out, first, before);
}

// Segments as the plain loops take them, stopping at the first that does
// not start before stop: the last few bytes, the last of the room, and a
// segment longer than a block.
HWY_NOINLINE DecodedRun CarefulSegments(const Tables& t, const unsigned char* p,
                                        const unsigned char* end, char* out, std::size_t room,
                                        bool tabAfter, const unsigned char* floor,
                                        const unsigned char* stop) {
    std::size_t written = 0;
    while (p < stop) {
        const unsigned char* scan = FindBreakOrCr(p, end);
        bool crs = false;
        while (scan != end && *scan == '\r') {
            crs = true;
            scan = FindBreakOrCr(scan + 1, end);
        }
        const auto length = static_cast<std::size_t>(scan - p);
        if (scan == end || length + 3 > room - written)
            break;
        written += crs ? TurnRange<true>(t, p, scan, out + written, floor, -1)
                       : TurnRange<false>(t, p, scan, out + written, floor, -1);
        if (tabAfter)
            out[written++] = '\t';
        out[written++] = '\r';
        out[written++] = '\n';
        tabAfter = *scan == tabBreakCode;
        p = scan + 1;
    }
    return {p, written, tabAfter};
}

#include "simd/turned_blocks-inl.h"

// Lane i takes lane i + 1, the last lane 0.
HWY_INLINE Vec LanesDownByOne(Vec v) {
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    return Vec{_mm512_alignr_epi8(_mm512_alignr_epi64(_mm512_setzero_si512(), v.raw, 2), v.raw, 1)};
#elif HWY_ARCH_X86 && HWY_TARGET == HWY_AVX2
    return Vec{_mm256_alignr_epi8(_mm256_permute2x128_si256(v.raw, v.raw, 0x81), v.raw, 1)};
#else
    static_assert(width == 16);
    return hn::ShiftRightBytes<1>(Full(), v);
#endif
}

// Stores t at at without the lanes in dropped; returns how many went. On
// vectors wider than 16 bytes, one or two go in registers, the lanes from
// each on taking the next one's byte, the same steps for either count, so
// that no branch depends on it; more are packed, and on 16 bytes any
// number, which one shuffle does.
HWY_INLINE std::size_t StoreWithout(Vec t, Lanes dropped, std::uint8_t* at) {
    const Full d;
    const auto gone = static_cast<std::size_t>(std::popcount(dropped));
    if (width == 16 || gone > 2) {
        hn::StoreU(t, d, at);
        return width - Pack(FirstLanes(width) & ~dropped, reinterpret_cast<char*>(at));
    }
    const hn::RebindToSigned<Full> signedLanes;
    const auto lanes = hn::Iota(signedLanes, 0);
    // Where there is no first or second, a lane past the last, so that none
    // moves: 64, less the one gone before the second, which needs 65 where
    // there is a lane 63.
    const auto first = static_cast<std::int8_t>(std::countr_zero(dropped));
    const Lanes rest = dropped & (dropped - 1);
    const int past = width == 64 && rest == 0 ? 1 : 0;
    const auto second = static_cast<std::int8_t>(std::countr_zero(rest) + past - 1);
    t = hn::IfThenElse(hn::RebindMask(d, hn::Gt(lanes, hn::Set(signedLanes, first - 1))),
                       LanesDownByOne(t), t);
    t = hn::IfThenElse(hn::RebindMask(d, hn::Gt(lanes, hn::Set(signedLanes, second - 1))),
                       LanesDownByOne(t), t);
    hn::StoreU(t, d, at);
    return gone;
}

// Turns the n bytes from p (a whole number of vectors; p is a segment's
// first byte), a vector at a time from the end: every vector the same
// steps, with no segment in sight.
HWY_INLINE TurnedCounts TurnBlockAt(const Tables& t, Vec breakClasses, Vec dropClasses,
                                    const unsigned char* p, std::size_t n, TurnedBlock& block) {
    const Full d;
    std::uint8_t* to = block.turned;
    std::uint16_t* found = block.breaks;
    for (const unsigned char* e = p + n; e != p; e -= width) {
        const Vec r = ReversedBytes(hn::LoadU(d, e - width));
        const Vec low = hn::And(r, hn::Set(d, std::uint8_t{0x0F}));
        hn::StoreU(Translated(t, r), d, to);
        Lanes breaks = BitsOf(hn::Eq(hn::TableLookupBytes(breakClasses, low), r));
        const Lanes marked = BitsOf(hn::Eq(hn::TableLookupBytes(dropClasses, low), r));
        const auto place = [&](std::size_t lane, std::size_t before) {
            *found++ = static_cast<std::uint16_t>(to - block.turned + lane - before);
        };
        // The next block is read from its end too, which the processor
        // does not foresee.
        __builtin_prefetch(e - width + n);
        if (marked == 0) [[likely]] {
            // Most vectors hold no break or one: the first place is written
            // whatever the count, so that no branch depends on it.
            *found = static_cast<std::uint16_t>(to - block.turned + std::countr_zero(breaks));
            found += breaks != 0 ? 1 : 0;
            breaks &= breaks - 1;
            if (breaks != 0) [[unlikely]] {
                for (; breaks != 0; breaks &= breaks - 1)
                    place(std::countr_zero(breaks), 0);
            }
            to += width;
            continue;
        }
        // An LF goes only straight after a CR: the next lane, or for the
        // last lane the byte before the vector (the block's first byte
        // follows a break). Of the bytes marked (0xFF, 0x0D, 0x0A), only
        // the LF has bit 0 clear, and only the CR bit 1.
        const Lanes lfs = marked & ~TopBitsAfterShift<7>(r);
        const Lanes crs = marked & ~TopBitsAfterShift<6>(r);
        static constexpr unsigned char none = 0;
        const unsigned char* const before = e - width != p ? e - width - 1 : &none;
        const Lanes dropped =
            marked & (~lfs | (crs >> 1) | (Lanes{*before == '\r'} << (width - 1)));
        for (; breaks != 0; breaks &= breaks - 1) {
            const auto lane = static_cast<std::size_t>(std::countr_zero(breaks));
            place(lane, static_cast<std::size_t>(std::popcount(dropped & FirstLanes(lane))));
        }
        to += width - StoreWithout(Translated(t, r), dropped, to);
    }
    return {static_cast<std::size_t>(to - block.turned),
            static_cast<std::size_t>(found - block.breaks)};
}

DecodedRun DecodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter) {
    const Full d;
    const Tables t = LoadTables();
    const Vec breakClasses = hn::LoadDup128(d, nibbleClasses.breaks);
    const Vec dropClasses = hn::LoadDup128(d, nibbleClasses.drops);
    const unsigned char* const floor = p;
    return DecodeTurnedBlocks(
        p, end, out, room, tabAfter,
        [&](const unsigned char* from, std::size_t n, TurnedBlock& block) {
            return TurnBlockAt(t, breakClasses, dropClasses, from, n, block);
        },
        [&](const unsigned char* from, char* to, std::size_t left, bool tab,
            const unsigned char* stop) {
            return CarefulSegments(t, from, end, to, left, tab, floor, stop);
        });
}

// Bytes [p, p + n) back to front into out; loads may reach back to floor
// (at most p), and unless exact, the last store may write up to width
// bytes past out + n.
template <bool exact>
HWY_INLINE void ReverseRange(const char* p, std::size_t n, char* out, const char* floor) {
    const Full d;
    const auto* first = reinterpret_cast<const std::uint8_t*>(p);
    auto* to = reinterpret_cast<std::uint8_t*>(out);
    for (; n >= width; n -= width, to += width)
        hn::StoreU(ReversedBytes(hn::LoadU(d, first + n - width)), d, to);
    if (n == 0)
        return;
    const Vec v = static_cast<std::size_t>(p + n - floor) >= width ? hn::LoadU(d, first + n - width)
                                                                   : LoadEndingAt(first + n, n);
    if constexpr (exact) {
        alignas(64) std::uint8_t turned[width];
        hn::Store(ReversedBytes(v), d, turned);
        std::memcpy(to, turned, n);
    } else {
        hn::StoreU(ReversedBytes(v), d, to);
    }
}

void ReverseCopy(const char* p, std::size_t n, char* out) {
    ReverseRange<true>(p, n, out, p);
}

LineRun WriteWholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                        std::string_view paragraphEnd) {
    if (form != LineForm::reversed)
        return kernel_loops::wholeLines(p, end, out, room, form, paragraphEnd, ReverseCopy,
                                        FindRtfSpecial);
    const char* const floor = p;
    std::size_t written = 0;
    for (;;) {
        const auto* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (cr == nullptr || cr + 1 == end)
            break;
        const auto length = static_cast<std::size_t>(cr - p);
        if (length + paragraphEnd.size() > room - written)
            break;
        if (length + paragraphEnd.size() + width <= room - written)
            ReverseRange<false>(p, length, out + written, floor);
        else
            ReverseRange<true>(p, length, out + written, floor);
        written += length;
        std::memcpy(out + written, paragraphEnd.data(), paragraphEnd.size());
        written += paragraphEnd.size();
        p = cr[1] == '\n' ? cr + 2 : cr + 1;
    }
    return {p, written};
}
