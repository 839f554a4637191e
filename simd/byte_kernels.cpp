// Compiled once per SIMD target by Highway; the dispatch and the plain
// loops are in the HWY_ONCE part at the end.
//
// Only Highway's headers are used, not its library: loading that library
// calibrates a timer before main, which cost every process 3 to 5 ms, a
// third of what converting a small document takes in all. So the
// dispatch is our own, and Highway's debug checks (which call into the
// library) stay off; the tests check every target against the plain loops.
#define HWY_IS_DEBUG_BUILD 0
#if !defined(__x86_64__) && !defined(__i386__)
// Elsewhere the dispatch has one target, the build's own (NEON on 64-bit
// ARM), and only that one is compiled.
#define HWY_COMPILE_ONLY_STATIC 1
#endif
// The processors with whole-vector byte permutes (AVX3_DL) get code of
// their own; Highway leaves that target out unless asked.
#ifndef HWY_WANT_AVX3_DL
#define HWY_WANT_AVX3_DL
#endif
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simd/byte_kernels.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/highway.h>

#include "simd/byte_kernels.h"
#include "simd/byte_tables.h"
#include "simd/char_map.h"
#include "simd/kernel_loops.h"
#include "simd/kernel_targets.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#ifndef ORV_KERNEL_TABLE_DEFINED
#define ORV_KERNEL_TABLE_DEFINED
namespace orv {
// One target's kernels.
struct KernelTable {
    decltype(&orv::findBreakOrCr) findBreakOrCr;
    decltype(&orv::reverseTranslate) reverseTranslate;
    decltype(&orv::reverseTranslateSegment) reverseTranslateSegment;
    decltype(&orv::decodeWholeSegments) decodeWholeSegments;
    decltype(&orv::reverseCopy) reverseCopy;
    decltype(&orv::findRtfSpecial) findRtfSpecial;
    decltype(&orv::escapeRtf) escapeRtf;
    decltype(&orv::writeWholeLines) writeWholeLines;
};
} // namespace orv
#endif

HWY_BEFORE_NAMESPACE();
namespace orv::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128 ||                                        \
    !(HWY_ARCH_X86 || HWY_TARGET == HWY_NEON)
// One lane gains nothing over the plain loops, nor does a vector that the
// compiler emulates a lane at a time; vectors of other families' sizes
// have no kernels of their own.
#if HWY_ARCH_X86_64
// But every x86-64 processor has SSE2: enough to scan and to turn round 16
// bytes at a time, though not to translate them.
#include <emmintrin.h>

template <class Byte, class Match>
const Byte* Sse2Find(const Byte* p, const Byte* end, Match match) {
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(match(v));
        if (hits != 0)
            return p + __builtin_ctz(static_cast<unsigned>(hits));
    }
    return p;
}

const unsigned char* FindBreakOrCr(const unsigned char* p, const unsigned char* end) {
    p = Sse2Find(p, end, [](__m128i v) {
        const auto is = [v](int b) {
            return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b)));
        };
        return _mm_or_si128(
            _mm_or_si128(_mm_or_si128(is(3), is('\r')), _mm_or_si128(is(250), is(252))), is(254));
    });
    return plain::findBreakOrCr(p, end);
}
const char* FindRtfSpecial(const char* p, const char* end) {
    p = Sse2Find(p, end, [](__m128i v) {
        // A signed compare: 128 and up are below 0, so below 32 too.
        const __m128i low = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                             _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
        return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), low),
                            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('{')),
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8('}'))));
    });
    return plain::findRtfSpecial(p, end);
}
void ReverseCopy(const char* p, std::size_t n, char* out) {
    for (; n >= 16; n -= 16, out += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
        v = _mm_shuffle_epi32(v, 0x1B);
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    }
    plain::reverseCopy(p, n, out);
}
// Eight bytes at a time where none is a filler: one load, and no count
// kept per byte.
std::size_t ReverseTranslate(const unsigned char* first, const unsigned char* last, char* out) {
    static const auto& table = translationTable();
    constexpr std::uint64_t ones = 0x0101010101010101U;
    std::size_t kept = 0;
    while (last - first >= 8) {
        last -= 8;
        std::uint64_t bytes;
        std::memcpy(&bytes, last, 8);
        const std::uint64_t fillers = ~bytes; // a zero byte where a filler is
        if (((fillers - ones) & ~fillers & (ones << 7)) != 0) {
            kept += plain::reverseTranslate(last, last + 8, out + kept);
            continue;
        }
        for (int i = 0; i < 8; ++i)
            out[kept + i] = table[(bytes >> (56 - 8 * i)) & 0xFF];
        kept += 8;
    }
    return kept + plain::reverseTranslate(first, last, out + kept);
}
std::size_t ReverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before) {
    return kernel_loops::withTerminators(first, last, out, before, ReverseTranslate);
}
#else
const unsigned char* FindBreakOrCr(const unsigned char* p, const unsigned char* end) {
    return plain::findBreakOrCr(p, end);
}
const char* FindRtfSpecial(const char* p, const char* end) {
    return plain::findRtfSpecial(p, end);
}
void ReverseCopy(const char* p, std::size_t n, char* out) {
    plain::reverseCopy(p, n, out);
}
std::size_t ReverseTranslate(const unsigned char* first, const unsigned char* last, char* out) {
    return plain::reverseTranslate(first, last, out);
}
std::size_t ReverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before) {
    return plain::reverseTranslateSegment(first, last, out, before);
}
#endif
DecodedRun DecodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter) {
    return kernel_loops::wholeSegments(p, end, out, room, tabAfter, FindBreakOrCr,
                                       ReverseTranslate);
}
LineRun WriteWholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                        std::string_view paragraphEnd) {
    return kernel_loops::wholeLines(p, end, out, room, form, paragraphEnd, ReverseCopy,
                                    FindRtfSpecial);
}
#else

// A scan's last steps, 16 bytes at a time.
using Bytes = hn::Full128<std::uint8_t>;
constexpr std::size_t lanes = 16;

// Where bytes are only compared, the target's full width serves: a scan
// runs to the end of a whole segment in one or two steps.
template <class D> hn::Mask<D> BreakOrCrIn(D d, hn::Vec<D> v) {
    return hn::Or(
        hn::Or(hn::Eq(v, hn::Set(d, std::uint8_t{3})), hn::Eq(v, hn::Set(d, std::uint8_t{'\r'}))),
        hn::Or(hn::Or(hn::Eq(v, hn::Set(d, std::uint8_t{250})),
                      hn::Eq(v, hn::Set(d, std::uint8_t{252}))),
               hn::Eq(v, hn::Set(d, std::uint8_t{254}))));
}

// The first byte in [p, end) that match(d, v) marks, or end; the rest of
// a whole vector goes to plainFind.
template <class Match, class PlainFind>
const std::uint8_t* FindFirst(const std::uint8_t* p, const std::uint8_t* end, Match match,
                              PlainFind plainFind) {
    const hn::ScalableTag<std::uint8_t> wide;
    const auto wideLanes = static_cast<std::ptrdiff_t>(hn::Lanes(wide));
    for (; end - p >= wideLanes; p += wideLanes) {
        const auto hit = match(wide, hn::LoadU(wide, p));
        if (!hn::AllFalse(wide, hit))
            return p + hn::FindFirstTrue(wide, hit);
    }
    const Bytes d;
    for (; end - p >= static_cast<std::ptrdiff_t>(lanes); p += lanes) {
        const auto hit = match(d, hn::LoadU(d, p));
        if (!hn::AllFalse(d, hit))
            return p + hn::FindFirstTrue(d, hit);
    }
    return plainFind(p, end);
}

const unsigned char* FindBreakOrCr(const unsigned char* p, const unsigned char* end) {
    return FindFirst(
        p, end, [](auto d, auto v) { return BreakOrCrIn(d, v); }, plain::findBreakOrCr);
}

// Where isRtfSpecial holds: a signed compare finds the control bytes and
// 128 and up at once, as both are below 32.
template <class D> hn::Mask<D> RtfSpecialsIn(D d, hn::Vec<D> v) {
    const hn::RebindToSigned<D> di;
    const auto low = hn::RebindMask(d, hn::Lt(hn::BitCast(di, v), hn::Set(di, std::int8_t{0x20})));
    return hn::Or(
        hn::Or(hn::AndNot(hn::Eq(v, hn::Set(d, std::uint8_t{'\t'})), low),
               hn::Eq(v, hn::Set(d, std::uint8_t{'\\'}))),
        hn::Or(hn::Eq(v, hn::Set(d, std::uint8_t{'{'})), hn::Eq(v, hn::Set(d, std::uint8_t{'}'}))));
}

const char* FindRtfSpecial(const char* p, const char* end) {
    const auto* at = FindFirst(
        reinterpret_cast<const std::uint8_t*>(p), reinterpret_cast<const std::uint8_t*>(end),
        [](auto d, auto v) { return RtfSpecialsIn(d, v); },
        [](const std::uint8_t* from, const std::uint8_t* to) {
            return reinterpret_cast<const std::uint8_t*>(plain::findRtfSpecial(
                reinterpret_cast<const char*>(from), reinterpret_cast<const char*>(to)));
        });
    return reinterpret_cast<const char*>(at);
}

#if HWY_TARGET == HWY_AVX3_DL
#include "simd/vbmi_kernels-inl.h"
#else
#include "simd/shuffle_kernels-inl.h"
#endif

#endif

EscapedRun EscapeRtf(const char* p, const char* end, char* out) {
    return escapeRtfWith(p, end, out, 0, FindRtfSpecial);
}

const KernelTable kernelTable = {FindBreakOrCr,       ReverseTranslate, ReverseTranslateSegment,
                                 DecodeWholeSegments, ReverseCopy,      FindRtfSpecial,
                                 EscapeRtf,           WriteWholeLines};
} // namespace orv::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#if HWY_ARCH_X86
#include <cpuid.h>
#endif

namespace orv {

namespace {

// The targets form a ladder: each needs what the one below it needs, and more.
enum Level : int { baseline, ssse3, sse4, avx2, avx3, avx3dl };

#if HWY_ARCH_X86
// How far up the ladder this processor goes, from cpuid, and from xgetbv for
// whether the system saves the AVX and AVX-512 registers; our own, as neither
// compiler knows every feature name that the targets need.
Level x86Level() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0)
        return baseline;
    const auto bit = [](unsigned word, int n) { return ((word >> n) & 1U) != 0; };
    const unsigned leaf1 = c;
    if (!bit(leaf1, 9))
        return baseline;
    // SSE4.1, SSE4.2, PCLMUL, AES
    if (!(bit(leaf1, 19) && bit(leaf1, 20) && bit(leaf1, 1) && bit(leaf1, 25)))
        return ssse3;
    if (!bit(leaf1, 27)) // no OSXSAVE: no wider registers
        return sse4;
    unsigned xcr0 = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0)
        return sse4;
    // AVX state; AVX, FMA, F16C, AVX2, BMI, BMI2
    if (!((xcr0 & 0x6U) == 0x6U && bit(leaf1, 28) && bit(leaf1, 12) && bit(leaf1, 29) &&
          bit(b, 5) && bit(b, 3) && bit(b, 8)))
        return sse4;
    // AVX-512 state; F, DQ, BW, VL
    if (!((xcr0 & 0xE6U) == 0xE6U && bit(b, 16) && bit(b, 17) && bit(b, 30) && bit(b, 31)))
        return avx2;
    // VBMI, VBMI2, VAES, VPCLMULQDQ, VNNI, BITALG, VPOPCNTDQ
    if (!(bit(c, 1) && bit(c, 6) && bit(c, 9) && bit(c, 10) && bit(c, 11) && bit(c, 12) &&
          bit(c, 14)))
        return avx3;
    return avx3dl;
}
#endif

Level processorLevel() {
#if HWY_ARCH_X86
    static const Level level = x86Level();
    return level;
#else
    return baseline;
#endif
}

struct Target {
    std::string_view name;
    Level needs;
    const KernelTable* table;
    bool available() const { return needs <= processorLevel(); }
};

// The targets built in, best first; the last one runs anywhere.
constexpr Target targets[] = {
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX3_DL)
    {"AVX3_DL", avx3dl, &N_AVX3_DL::kernelTable},
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX3)
    {"AVX3", avx3, &N_AVX3::kernelTable},
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX2)
    {"AVX2", avx2, &N_AVX2::kernelTable},
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_SSE4)
    {"SSE4", sse4, &N_SSE4::kernelTable},
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_SSSE3)
    {"SSSE3", ssse3, &N_SSSE3::kernelTable},
#endif
// The build's own baseline, which runs wherever the program does.
#if HWY_ARCH_ARM_A64
    {"NEON", baseline, &HWY_NAMESPACE::kernelTable},
#else
    {"baseline", baseline, &HWY_NAMESPACE::kernelTable},
#endif
};

const KernelTable* best() {
    for (const Target& target : targets) {
        if (target.available())
            return target.table;
    }
    return targets[std::size(targets) - 1].table;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The target named in ORV_SIMD_TARGET if this processor has it, else the
// best: a testing aid, so that the benchmarks can time every lesser
// target on a processor that has a better one.
const KernelTable* initial() {
    if (const char* name = std::getenv("ORV_SIMD_TARGET"); name != nullptr) {
        for (const Target& target : targets) {
            if (sameName(target.name, name) && target.available())
                return target.table;
        }
    }
    return best();
}

std::atomic<const KernelTable*>& chosen() {
    static std::atomic<const KernelTable*> table{initial()};
    return table;
}

const KernelTable& kernels() {
    return *chosen().load(std::memory_order_relaxed);
}

} // namespace

std::vector<std::string_view> kernelTargets() {
    std::vector<std::string_view> names;
    for (const Target& target : targets) {
        if (target.available())
            names.push_back(target.name);
    }
    return names;
}

void useKernelTarget(std::string_view name) {
    const KernelTable* table = best();
    for (const Target& target : targets) {
        if (sameName(target.name, name) && target.available())
            table = target.table;
    }
    chosen().store(table, std::memory_order_relaxed);
}

const unsigned char* findBreakOrCr(const unsigned char* p, const unsigned char* end) {
    return kernels().findBreakOrCr(p, end);
}

std::size_t reverseTranslate(const unsigned char* first, const unsigned char* last, char* out) {
    return kernels().reverseTranslate(first, last, out);
}

std::size_t reverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before) {
    return kernels().reverseTranslateSegment(first, last, out, before);
}

DecodedRun decodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter) {
    return kernels().decodeWholeSegments(p, end, out, room, tabAfter);
}

void reverseCopy(const char* p, std::size_t n, char* out) {
    kernels().reverseCopy(p, n, out);
}

const char* findRtfSpecial(const char* p, const char* end) {
    return kernels().findRtfSpecial(p, end);
}

EscapedRun escapeRtf(const char* p, const char* end, char* out) {
    return kernels().escapeRtf(p, end, out);
}

LineRun writeWholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                        std::string_view paragraphEnd) {
    return kernels().writeWholeLines(p, end, out, room, form, paragraphEnd);
}

namespace plain {

const unsigned char* findBreakOrCr(const unsigned char* p, const unsigned char* end) {
    const auto& classes = byteClasses();
    while (p != end && classes[*p] == plainByte)
        ++p;
    return p;
}

std::size_t reverseTranslate(const unsigned char* first, const unsigned char* last, char* out) {
    static const auto& table = translationTable();
    std::size_t kept = 0;
    while (last != first) {
        const unsigned char b = *--last;
        out[kept] = table[b];
        kept += b != fillerByte;
    }
    return kept;
}

std::size_t reverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before) {
    return kernel_loops::withTerminators(first, last, out, before, reverseTranslate);
}

DecodedRun decodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter) {
    return kernel_loops::wholeSegments(p, end, out, room, tabAfter, findBreakOrCr,
                                       reverseTranslate);
}

void reverseCopy(const char* p, std::size_t n, char* out) {
    std::reverse_copy(p, p + n, out);
}

const char* findRtfSpecial(const char* p, const char* end) {
    static constexpr auto specials = [] {
        std::array<bool, 256> table{};
        for (int b = 0; b < 256; ++b)
            table[b] = isRtfSpecial(static_cast<unsigned char>(b));
        return table;
    }();
    while (p != end && !specials[static_cast<unsigned char>(*p)])
        ++p;
    return p;
}

EscapedRun escapeRtf(const char* p, const char* end, char* out) {
    return escapeRtfWith(p, end, out, 0, findRtfSpecial);
}

LineRun writeWholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                        std::string_view paragraphEnd) {
    return kernel_loops::wholeLines(p, end, out, room, form, paragraphEnd, reverseCopy,
                                    findRtfSpecial);
}

} // namespace plain
} // namespace orv
#endif
