// The kernels for processors with whole-vector byte permutes and byte
// compress (AVX3_DL): a chunk of 64 bytes is translated through all 256
// entries of the table, freed of the bytes it drops and turned round in a
// handful of instructions, with no tail loop. Highway has no 8-bit lookup
// across a whole vector, so the permutes are the processor's own.
// Included by byte_kernels.cpp inside the target's namespace; no guard.

constexpr std::size_t chunk = 64;

// The first n of a chunk's 64 lanes (n at most 64).
HWY_INLINE __mmask64 FirstLanes(std::size_t n) {
    return _bzhi_u64(~0ULL, static_cast<unsigned>(n));
}

// Lane i holds i.
HWY_INLINE __m512i Iota() {
    alignas(64) static constexpr std::uint8_t lanes[chunk] = {
        0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
        22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
        44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
    return _mm512_load_si512(lanes);
}

// The translation table as four vectors of 64 entries.
struct Quarters {
    __m512i q[4];
};

HWY_INLINE Quarters LoadTable() {
    const char* t = translationTable().data();
    return {{_mm512_loadu_si512(t), _mm512_loadu_si512(t + 64), _mm512_loadu_si512(t + 128),
             _mm512_loadu_si512(t + 192)}};
}

HWY_INLINE __m512i Translated(const Quarters& t, __m512i v) {
    // Bits 0-6 pick one of 128 entries in each half; bit 7 picks the half.
    const __m512i low = _mm512_permutex2var_epi8(t.q[0], v, t.q[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.q[2], v, t.q[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high);
}

// The first n lanes of packed, back to front, stored at out.
HWY_INLINE void StoreReversed(__m512i packed, std::size_t n, char* out) {
    const __m512i order = _mm512_sub_epi8(_mm512_set1_epi8(static_cast<char>(n - 1)), Iota());
    _mm512_mask_storeu_epi8(out, FirstLanes(n), _mm512_permutexvar_epi8(order, packed));
}

// What a chunk of source bytes loses on its way to the text: fillers, CRs
// and each LF straight after a CR in the chunk.
HWY_INLINE __mmask64 DroppedIn(__m512i v) {
    const __mmask64 cr = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
    return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(fillerByte))) | cr |
           (_mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')) & (cr << 1));
}

// Bytes [first, last) back to front, translated, fillers left out; with
// terminators, also every CR and each LF straight after a CR (before: the
// byte before first, or -1). A chunk at a time from the end.
template <bool terminators>
std::size_t ReverseTranslateChunks(const unsigned char* first, const unsigned char* last, char* out,
                                   int before, const Quarters& table) {
    std::size_t kept = 0;
    while (last != first) {
        const auto n = std::min(chunk, static_cast<std::size_t>(last - first));
        const unsigned char* from = last - n;
        const __mmask64 valid = FirstLanes(n);
        const __m512i v = _mm512_maskz_loadu_epi8(valid, from);
        __mmask64 dropped;
        if constexpr (terminators) {
            // A first LF goes too when the byte before the chunk is a CR.
            const bool crBefore = (from != first ? from[-1] : before) == '\r';
            const __mmask64 lfs = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));
            dropped = DroppedIn(v) | (crBefore ? lfs & 1U : 0U);
        } else {
            dropped = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(fillerByte)));
        }
        const __mmask64 keep = valid & ~dropped;
        const auto k = static_cast<std::size_t>(_mm_popcnt_u64(keep));
        StoreReversed(_mm512_maskz_compress_epi8(keep, Translated(table, v)), k, out + kept);
        kept += k;
        last = from;
    }
    return kept;
}

std::size_t ReverseTranslate(const unsigned char* first, const unsigned char* last, char* out) {
    return ReverseTranslateChunks<false>(first, last, out, -1, LoadTable());
}

std::size_t ReverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before) {
    return ReverseTranslateChunks<true>(first, last, out, before, LoadTable());
}

// The first byte from q on that hits(chunk) marks, or nullptr if none
// before end.
template <class Byte, class Hits>
HWY_INLINE const Byte* FirstHit(const Byte* q, const Byte* end, Hits hits) {
    while (q != end) {
        const auto n = std::min(chunk, static_cast<std::size_t>(end - q));
        const __mmask64 found = hits(_mm512_maskz_loadu_epi8(FirstLanes(n), q));
        if (found != 0)
            return q + _tzcnt_u64(found);
        q += n;
    }
    return nullptr;
}

HWY_INLINE __mmask64 BreaksIn(__m512i v) {
    return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(3)) |
           _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(250))) |
           _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(252))) |
           _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(254)));
}

// A line end, TAB CR LF or CR LF, without a branch: which one comes is as
// good as random in most texts. Returns the bytes written.
HWY_INLINE std::size_t StoreLineEnd(bool tab, char* out) {
    // 17 bytes at least: the 16 loaded may start at the second.
    alignas(16) static constexpr char ends[32] = {'\t', '\r', '\n'};
    const __m128i end = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends + !tab));
    const unsigned extra = tab; // 0 or 1, kept as a number so that no branch comes of it
    _mm_mask_storeu_epi8(out, _cvtu32_mask16(0x3U | (extra << 2)), end);
    return 2 + extra;
}

// Segments as the plain loops take them, for the ends of a source and of
// the room, and a segment longer than a block: one chunk is loaded at the
// first segment's start, and every segment that ends in it is taken from
// the register.
HWY_NOINLINE DecodedRun ChunkSegments(const Quarters& table, const unsigned char* p,
                                      const unsigned char* end, char* out, std::size_t room,
                                      bool tabAfter) {
    std::size_t written = 0;
    while (p != end) {
        const unsigned char* base = p;
        const auto n = std::min(chunk, static_cast<std::size_t>(end - base));
        const __m512i v = _mm512_maskz_loadu_epi8(FirstLanes(n), base);
        __mmask64 breaks = BreaksIn(v);
        if (breaks == 0) {
            if (n < chunk)
                break; // no break before end
            // A segment longer than a chunk: found, then turned a chunk at a time.
            const unsigned char* brk = FirstHit(base + chunk, end, BreaksIn);
            if (brk == nullptr || static_cast<std::size_t>(brk - p) + 3 > room - written)
                break;
            written += ReverseTranslateChunks<true>(p, brk, out + written, -1, table);
            written += StoreLineEnd(tabAfter, out + written);
            tabAfter = *brk == tabBreakCode;
            p = brk + 1;
            continue;
        }
        // A segment starts after a break, so the chunk's first byte has no
        // CR before it and the shifted CRs tell every LF that goes.
        const __mmask64 kept = ~DroppedIn(v);
        const __m512i translated = Translated(table, v);
        do {
            const auto at = static_cast<std::size_t>(_tzcnt_u64(breaks));
            const auto from = static_cast<std::size_t>(p - base);
            if (at - from + 3 > room - written)
                return {p, written, tabAfter};
            // An empty segment (a break after a break) has nothing to turn.
            if (at != from) {
                const __mmask64 keep = kept & FirstLanes(at) & ~FirstLanes(from);
                const auto k = static_cast<std::size_t>(_mm_popcnt_u64(keep));
                StoreReversed(_mm512_maskz_compress_epi8(keep, translated), k, out + written);
                written += k;
            }
            written += StoreLineEnd(tabAfter, out + written);
            tabAfter = base[at] == tabBreakCode;
            p = base + at + 1;
            breaks &= breaks - 1;
        } while (breaks != 0);
    }
    return {p, written, tabAfter};
}

#include "simd/turned_blocks-inl.h"

// The n bytes from p turned for DecodeTurnedBlocks, a chunk at a time from
// the end: translated through the whole table, freed of what the segments
// leave out by a compress and turned round by a permute, with no branch on
// the bytes but for chunks of three breaks or more.
HWY_INLINE TurnedCounts TurnBlockAt(const Quarters& table, const unsigned char* p, std::size_t n,
                                    TurnedBlock& block) {
    std::uint8_t* to = block.turned;
    std::uint16_t* found = block.breaks;
    for (const unsigned char* e = p + n; e != p; e -= chunk) {
        const unsigned char* const from = e - chunk;
        const __m512i v = _mm512_loadu_si512(from);
        // The next block is read from its end too, which the processor
        // does not foresee.
        __builtin_prefetch(from + n);
        // The first lane's LF goes too after a CR before the chunk; the
        // block's first byte follows a break.
        const bool crBefore = from != p && from[-1] == '\r';
        const __mmask64 keep =
            ~(DroppedIn(v) | (_mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')) & crBefore));
        const auto k = static_cast<std::size_t>(_mm_popcnt_u64(keep));
        StoreReversed(_mm512_maskz_compress_epi8(keep, Translated(table, v)), k,
                      reinterpret_cast<char*>(to));
        // Lane j of the bytes kept stands at to + k - 1 - j: the breaks are
        // placed the last first. Two places are written whatever the
        // count, so that no branch depends on it in most chunks.
        std::uint64_t breaks = _pext_u64(BreaksIn(v), keep);
        const auto offset = static_cast<std::size_t>(to - block.turned) + k - 1;
        const auto place = [&] {
            const int j = 63 - std::countl_zero(breaks);
            *found = static_cast<std::uint16_t>(offset - static_cast<std::size_t>(j));
            found += breaks != 0 ? 1 : 0;
            breaks &= ~(std::uint64_t{1} << (j & 63));
        };
        place();
        place();
        if (breaks != 0) [[unlikely]] {
            while (breaks != 0)
                place();
        }
        to += k;
    }
    return {static_cast<std::size_t>(to - block.turned),
            static_cast<std::size_t>(found - block.breaks)};
}

DecodedRun DecodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter) {
    const Quarters table = LoadTable();
    return DecodeTurnedBlocks(
        p, end, out, room, tabAfter,
        [&](const unsigned char* from, std::size_t n, TurnedBlock& block) {
            return TurnBlockAt(table, from, n, block);
        },
        [&](const unsigned char* from, char* to, std::size_t left, bool tab, const unsigned char*) {
            return ChunkSegments(table, from, end, to, left, tab);
        });
}

void ReverseCopy(const char* p, std::size_t n, char* out) {
    while (n != 0) {
        const auto k = std::min(chunk, n);
        n -= k;
        StoreReversed(_mm512_maskz_loadu_epi8(FirstLanes(k), p + n), k, out);
        out += k;
    }
}

HWY_INLINE __mmask64 CrsIn(__m512i v) {
    return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
}

// Where isRtfSpecial holds; a signed compare finds the control bytes and
// 128 and up at once, as both are below 32.
HWY_INLINE __mmask64 RtfSpecialsIn(__m512i v) {
    return (_mm512_cmplt_epi8_mask(v, _mm512_set1_epi8(0x20)) &
            ~_mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\t'))) |
           _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\\')) |
           _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('{')) |
           _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('}'));
}

// As DecodeWholeSegments does with segments: every line that ends in the
// chunk loaded at the first line's start is taken from the register.
LineRun WriteWholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                        std::string_view paragraphEnd) {
    const __mmask64 endLanes = FirstLanes(paragraphEnd.size());
    const __m512i ending = _mm512_maskz_loadu_epi8(endLanes, paragraphEnd.data());
    const bool reversed = form == LineForm::reversed;
    std::size_t written = 0;
    const auto fits = [&](std::size_t length) {
        return (reversed ? length : rtfEscapeBytes * length) + paragraphEnd.size() <=
               room - written;
    };
    // The paragraph end after the line that ends at cr, and on to the next.
    const auto endLine = [&](const char* cr) {
        _mm512_mask_storeu_epi8(out + written, endLanes, ending);
        written += paragraphEnd.size();
        p = cr[1] == '\n' ? cr + 2 : cr + 1;
    };
    while (p != end) {
        const char* base = p;
        const auto n = std::min(chunk, static_cast<std::size_t>(end - base));
        const __m512i v = _mm512_maskz_loadu_epi8(FirstLanes(n), base);
        __mmask64 crs = CrsIn(v);
        if (crs == 0) {
            if (n < chunk)
                break; // no CR before end
            // A line longer than a chunk: found, then copied from memory.
            const char* cr = FirstHit(base + chunk, end, CrsIn);
            if (cr == nullptr || cr + 1 == end || !fits(static_cast<std::size_t>(cr - p)))
                break;
            if (reversed) {
                ReverseCopy(p, static_cast<std::size_t>(cr - p), out + written);
                written += static_cast<std::size_t>(cr - p);
            } else {
                written = escapeRtfWith(p, cr, out, written, FindRtfSpecial).written;
            }
            endLine(cr);
            continue;
        }
        const __mmask64 specials = reversed ? 0 : RtfSpecialsIn(v);
        do {
            const auto at = static_cast<std::size_t>(_tzcnt_u64(crs));
            const auto from = static_cast<std::size_t>(p - base);
            const char* cr = base + at;
            const std::size_t length = at - from;
            if (cr + 1 == end || !fits(length))
                return {p, written};
            if (reversed) {
                // Lane i takes the line's byte at - 1 - i: back to front.
                const __m512i order =
                    _mm512_sub_epi8(_mm512_set1_epi8(static_cast<char>(at - 1)), Iota());
                _mm512_mask_storeu_epi8(out + written, FirstLanes(length),
                                        _mm512_permutexvar_epi8(order, v));
                written += length;
            } else if ((specials & FirstLanes(at) & ~FirstLanes(from)) == 0) {
                _mm512_mask_storeu_epi8(
                    out + written, FirstLanes(length),
                    _mm512_permutexvar_epi8(
                        _mm512_add_epi8(Iota(), _mm512_set1_epi8(static_cast<char>(from))), v));
                written += length;
            } else {
                written = escapeRtfWith(p, cr, out, written, FindRtfSpecial).written;
            }
            endLine(cr);
            crs &= crs - 1;
        } while (crs != 0);
    }
    return {p, written};
}
