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

// For each byte mask, the places of its set bits, lowest first.
struct PackOrders {
    std::uint8_t order[256][8];
};
constexpr PackOrders MakePackOrders() {
    PackOrders p{};
    for (int m = 0; m < 256; ++m) {
        int k = 0;
        for (int i = 0; i < 8; ++i) {
            if ((m >> i & 1) != 0)
                p.order[m][k++] = static_cast<std::uint8_t>(i);
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
        const auto order =
            hn::Combine(b, hn::Add(hn::LoadU(h, packOrders.order[m >> 8]), hn::Set(h, 8)),
                        hn::LoadU(h, packOrders.order[m & 0xFFU]));
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
// floor, which is at most first; unless exact, they reach back a whole
// vector from last, and stores may write up to width bytes past the bytes
// that count.
template <bool terminators, bool exact>
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
    // Unless exact, the caller has made sure that a whole vector can be
    // loaded: the loops that call it hold no call, and keep their tables
    // in registers.
    const Vec v = !exact || static_cast<std::size_t>(e - floor) >= width ? hn::LoadU(d, e - width)
                                                                         : LoadEndingAt(e, n);
    if constexpr (exact) {
        alignas(64) char turned[width];
        const std::size_t k = Turn<terminators>(t, v, n, before == '\r', turned);
        std::memcpy(out + kept, turned, k);
        return kept + k;
    } else {
        return kept + Turn<terminators>(t, v, n, before == '\r', out + kept);
    }
}

std::size_t ReverseTranslate(const unsigned char* first, const unsigned char* last, char* out) {
    return TurnRange<false, true>(LoadTables(), first, last, out, first, -1);
}

std::size_t ReverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before) {
    return TurnRange<true, true>(LoadTables(), first, last, out, first, before);
}

// Where the breaks and CRs are among the 64 bytes from q, lane i in bit i.
// Each of them has a low nibble of its own (3, 0xFA, 0xFC, 0xFE and CR
// 0x0D): a byte is one if it equals the entry of its low nibble, where
// the other nibbles hold a byte with another nibble, which no byte equals.
struct BreakOrCrClasses {
    std::uint8_t byNibble[16];
};
constexpr BreakOrCrClasses MakeBreakOrCrClasses() {
    BreakOrCrClasses c{};
    for (int i = 0; i < 16; ++i)
        c.byNibble[i] = static_cast<std::uint8_t>(i ^ 1);
    for (int b = 0; b < 256; ++b) {
        if (isBreakCode(static_cast<unsigned char>(b)) || b == '\r')
            c.byNibble[b & 15] = static_cast<std::uint8_t>(b);
    }
    return c;
}
alignas(16) constexpr BreakOrCrClasses breakOrCrClasses = MakeBreakOrCrClasses();
constexpr bool BreakOrCrClassesHold() {
    for (int b = 0; b < 256; ++b) {
        const bool marked = isBreakCode(static_cast<unsigned char>(b)) || b == '\r';
        if ((breakOrCrClasses.byNibble[b & 15] == b) != marked)
            return false;
    }
    return true;
}
static_assert(BreakOrCrClassesHold(), "the breaks and CR each have a low nibble of their own");

HWY_INLINE Lanes BreaksOrCrsAt(const unsigned char* q) {
    const Full d;
    const Vec classes = hn::LoadDup128(d, breakOrCrClasses.byNibble);
    const Vec nibble = hn::Set(d, std::uint8_t{0x0F});
    Lanes marks = 0;
    for (std::size_t i = 0; i < 64; i += width) {
        const Vec v = hn::LoadU(d, q + i);
        marks |= BitsOf(hn::Eq(hn::TableLookupBytes(classes, hn::And(v, nibble)), v)) << i;
    }
    return marks;
}

// Segments as the plain loops take them, stopping at the first that does
// not start before stop: near the start of the bytes, where a vector
// loaded to end at a segment would reach before them, near their end, and
// near the end of the room.
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
        written += crs ? TurnRange<true, true>(t, p, scan, out + written, floor, -1)
                       : TurnRange<false, true>(t, p, scan, out + written, floor, -1);
        if (tabAfter)
            out[written++] = '\t';
        out[written++] = '\r';
        out[written++] = '\n';
        tabAfter = *scan == tabBreakCode;
        p = scan + 1;
    }
    return {p, written, tabAfter};
}

// The breaks and CRs are found 64 bytes at a time, as bits: the next one
// is a bit away, not a call. The loop holds no call, and everything stays
// in registers from one segment to the next.
DecodedRun DecodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter) {
    const Tables t = LoadTables();
    const unsigned char* const floor = p;
    DecodedRun run = CarefulSegments(t, p, end, out, room, tabAfter, floor,
                                     p + std::min<std::size_t>(width, end - p));
    if (static_cast<std::size_t>(run.next - floor) < width)
        return run; // stopped by the room or the end
    p = run.next;
    tabAfter = run.tabAfter;
    std::size_t written = run.written;
    const unsigned char* base = p;
    Lanes marks = end - base >= 64 ? BreaksOrCrsAt(base) : 0;
    while (end - base >= 64) {
        const unsigned char* scan;
        bool crs = false;
        for (;;) {
            if (marks != 0) {
                scan = base + std::countr_zero(marks);
                marks &= marks - 1;
                if (*scan != '\r')
                    break;
                crs = true;
            } else if (end - base >= 128) {
                base += 64;
                marks = BreaksOrCrsAt(base);
            } else {
                scan = end; // the rest goes the careful way
                break;
            }
        }
        const auto length = static_cast<std::size_t>(scan - p);
        if (scan == end || length + 3 + width > room - written)
            break;
        char* to = out + written;
        written += crs ? TurnRange<true, false>(t, p, scan, to, floor, -1)
                       : TurnRange<false, false>(t, p, scan, to, floor, -1);
        // TAB CR LF or CR LF without a branch: either is as likely.
        static constexpr char ends[5] = {'\t', '\r', '\n', '\n', '\n'};
        std::memcpy(out + written, ends + !tabAfter, 4);
        written += 2 + static_cast<std::size_t>(tabAfter);
        tabAfter = *scan == tabBreakCode;
        p = scan + 1;
    }
    run = CarefulSegments(t, p, end, out + written, room - written, tabAfter, floor, end);
    return {run.next, written + run.written, run.tabAfter};
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
