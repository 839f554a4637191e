// The byte kernels on every SIMD target against the plain loops: on runs of
// the bytes that matter to each, of bytes that matter to none, of every
// byte value, and on bytes that touch unreadable memory on either side, so
// that a load or store past what a kernel was given is a crash here. Each
// kernel is a test of its own.
#include "simd/byte_kernels.h"
#include "simd/kernel_targets.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace orv::test {
namespace {

template <class Check> void onEveryTarget(Check check) {
    for (const std::string_view target : kernelTargets()) {
        useKernelTarget(target);
        SCOPED_TRACE(target);
        check();
    }
    useKernelTarget("");
}

std::string drawn(std::mt19937& rng, std::size_t length, std::string_view alphabet) {
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = alphabet.empty() ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
    return bytes;
}

// Which unreadable page a buffer lies next to.
enum class Side { afterGuard, beforeGuard };

// One readable and writable page with an unreadable one on each side.
class GuardedPage {
public:
    GuardedPage() {
        size_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* map = mmap(nullptr, 3 * size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED)
            return;
        base_ = static_cast<char*>(map);
        if (mprotect(base_ + size_, size_, PROT_READ | PROT_WRITE) != 0) {
            munmap(base_, 3 * size_);
            base_ = nullptr;
        }
    }
    ~GuardedPage() {
        if (base_ != nullptr)
            munmap(base_, 3 * size_);
    }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;

    bool ok() const { return base_ != nullptr; }
    // n bytes whose first lies at align bytes past a multiple of 64, as close
    // to the unreadable page on side as that allows: touching it when align
    // is 0 after it, or when the n bytes end on a multiple of 64 before it;
    // fewer than 64 bytes away otherwise, which is less than a vector.
    char* place(std::size_t n, std::size_t align, Side side) const {
        char* const begin = base_ + size_;
        if (side == Side::afterGuard)
            return begin + align;
        char* const last = begin + size_ - n;
        return last - ((reinterpret_cast<std::uintptr_t>(last) - align) & 63);
    }

private:
    std::size_t size_ = 0;
    char* base_ = nullptr;
};

// A kernel's output room of a given size, placed in the output page.
struct OutputAt {
    const GuardedPage& page;
    std::size_t align;
    Side side;
    char* operator()(std::size_t room) const { return page.place(room, align, side); }
};

using Check = testing::AssertionResult (*)(const char* in, std::size_t n, const OutputAt& out);

testing::AssertionResult same(std::string_view fast, std::string_view slow) {
    if (fast == slow)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "kernel and plain loop differ";
}

template <class T> testing::AssertionResult same(T fast, T slow) {
    if (fast == slow)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "kernel and plain loop stop at different places";
}

// Where the plain loops write; the kernels write into the guarded page.
char* scratch() {
    static std::vector<char> bytes(16384);
    return bytes.data();
}

const unsigned char* bytesAt(const char* in) {
    return reinterpret_cast<const unsigned char*>(in);
}

testing::AssertionResult findBreakOrCrCheck(const char* in, std::size_t n, const OutputAt&) {
    return same(findBreakOrCr(bytesAt(in), bytesAt(in) + n),
                plain::findBreakOrCr(bytesAt(in), bytesAt(in) + n));
}

testing::AssertionResult findRtfSpecialCheck(const char* in, std::size_t n, const OutputAt&) {
    return same(findRtfSpecial(in, in + n), plain::findRtfSpecial(in, in + n));
}

// Room for the bytes given, which the bytes kept may not fill.
testing::AssertionResult reverseTranslateCheck(const char* in, std::size_t n,
                                               const OutputAt& place) {
    char* const out = place(n);
    const std::size_t kept = reverseTranslate(bytesAt(in), bytesAt(in) + n, out);
    const std::size_t plainKept = plain::reverseTranslate(bytesAt(in), bytesAt(in) + n, scratch());
    return same({out, kept}, {scratch(), plainKept});
}

testing::AssertionResult reverseTranslateSegmentCheck(const char* in, std::size_t n,
                                                      const OutputAt& place) {
    for (const int before : {-1, int{'\r'}}) {
        char* const out = place(n);
        const std::size_t kept = reverseTranslateSegment(bytesAt(in), bytesAt(in) + n, out, before);
        const std::size_t plainKept =
            plain::reverseTranslateSegment(bytesAt(in), bytesAt(in) + n, scratch(), before);
        if (auto r = same({out, kept}, {scratch(), plainKept}); !r)
            return r << " (before " << before << ")";
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult reverseCopyCheck(const char* in, std::size_t n, const OutputAt& place) {
    char* const out = place(n);
    reverseCopy(in, n, out);
    plain::reverseCopy(in, n, scratch());
    return same({out, n}, {scratch(), n});
}

// Room for four bytes for each byte taken: up to the first CR, or all.
testing::AssertionResult escapeRtfCheck(const char* in, std::size_t n, const OutputAt& place) {
    const EscapedRun b = plain::escapeRtf(in, in + n, scratch());
    char* const out = place(rtfEscapeBytes * static_cast<std::size_t>(b.next - in));
    const EscapedRun a = escapeRtf(in, in + n, out);
    if (auto r = same(a.next, b.next); !r)
        return r;
    return same({out, a.written}, {scratch(), b.written});
}

// As much room as the plain loops write, as much as they stop at (a segment
// takes its length and 3 more), and less, down to a few bytes.
testing::AssertionResult decodeWholeSegmentsCheck(const char* in, std::size_t n,
                                                  const OutputAt& place) {
    const auto* first = bytesAt(in);
    for (const bool tabAfter : {false, true}) {
        const std::size_t full =
            plain::decodeWholeSegments(first, first + n, scratch(), 4 * n + 64, tabAfter).written;
        for (const std::size_t room : {full, full / 2, std::min<std::size_t>(full, 5)}) {
            const DecodedRun b =
                plain::decodeWholeSegments(first, first + n, scratch(), room, tabAfter);
            char* const out = place(room);
            const DecodedRun a = decodeWholeSegments(first, first + n, out, room, tabAfter);
            auto r = same(a.next, b.next);
            if (r)
                r = same({out, a.written}, {scratch(), b.written});
            if (r)
                r = same(a.tabAfter, b.tabAfter);
            if (!r)
                return r << " (room " << room << ", tab " << tabAfter << ")";
        }
    }
    return testing::AssertionSuccess();
}

// Escaping takes room for four times a line's bytes: room for every line,
// for some, and for hardly any (any ending shorter than an escape included).
testing::AssertionResult writeWholeLinesCheck(const char* in, std::size_t n,
                                              const OutputAt& place) {
    for (const LineForm form : {LineForm::reversed, LineForm::rtfEscaped}) {
        const std::size_t full = form == LineForm::reversed ? n + n / 2 * 4 : 4 * n + n / 2 * 4;
        for (const std::size_t room : {full, full / 3 + 1, std::min<std::size_t>(full, 5)}) {
            for (const std::string_view ending : {"</P>", ""}) {
                const LineRun b = plain::writeWholeLines(in, in + n, scratch(), room, form, ending);
                char* const out = place(room);
                const LineRun a = writeWholeLines(in, in + n, out, room, form, ending);
                auto r = same(a.next, b.next);
                if (r)
                    r = same({out, a.written}, {scratch(), b.written});
                if (!r)
                    return r << " (form " << static_cast<int>(form) << ", room " << room
                             << ", ending \"" << ending << "\")";
            }
        }
    }
    return testing::AssertionSuccess();
}

struct Kernel {
    const char* name;
    Check check;
};
void PrintTo(const Kernel& kernel, std::ostream* os) {
    *os << kernel.name;
}

const Kernel kernels[] = {
    {"findBreakOrCr", findBreakOrCrCheck},
    {"findRtfSpecial", findRtfSpecialCheck},
    {"reverseTranslate", reverseTranslateCheck},
    {"reverseTranslateSegment", reverseTranslateSegmentCheck},
    {"reverseCopy", reverseCopyCheck},
    {"escapeRtf", escapeRtfCheck},
    {"decodeWholeSegments", decodeWholeSegmentsCheck},
    {"writeWholeLines", writeWholeLinesCheck},
};

class KernelBounds : public testing::TestWithParam<Kernel> {};
class KernelValues : public testing::TestWithParam<Kernel> {};

// Runs longer than the guarded tests reach, off a vector's alignment by the
// length's remainder, from the bytes each kernel looks for, from bytes none
// of them looks for (whole vectors without a stop), and from any byte; then
// each byte value alone, where the translation cannot lean on its neighbours.
TEST_P(KernelValues, MatchThePlainLoops) {
    GuardedPage output;
    if (!output.ok())
        GTEST_SKIP() << "no guarded pages: " << std::strerror(errno);
    const Check check = GetParam().check;
    onEveryTarget([&] {
        std::mt19937 rng(80);
        const std::string_view alphabets[] = {"abcw \x01\x83\xb0",
                                              "abcw\r\n\n\r\xff\xff",
                                              "ab\x03\xfc\xfa\xfe\r\n\xff\x83",
                                              "\\{}ab\x83\x1f\t\x7f\x80\xff",
                                              "abcdefghijklmnopqrstuvwxyz0123456789",
                                              ""};
        std::vector<std::string> inputs;
        for (const std::string_view alphabet : alphabets)
            for (std::size_t n = 0; n < 600; n += n < 200 ? 1 : 1 + n / 16)
                inputs.push_back(drawn(rng, n, alphabet));
        for (int b = 0; b < 256; ++b)
            inputs.emplace_back(40, static_cast<char>(b));
        for (const std::string& bytes : inputs) {
            const std::size_t shift = bytes.size() % 7;
            const std::string input = std::string(shift, 'x') + bytes;
            const testing::AssertionResult r = check(input.data() + shift, bytes.size(),
                                                     OutputAt{output, shift, Side::afterGuard});
            if (!r) {
                ADD_FAILURE() << r.message() << ": " << testing::PrintToString(bytes);
                return;
            }
        }
    });
}

// Sources longer than the decoder takes at once (4 KiB): segments across a
// block's end, one longer than a block, drops in runs and alone, every byte
// value; and rooms that end inside a block.
TEST(DecodeWholeSegments, MatchesThePlainLoopsAcrossBlocks) {
    std::mt19937 rng(84);
    const auto segments = [&](std::size_t n, std::size_t longest, std::string_view alphabet) {
        std::string source;
        while (source.size() < n)
            source += drawn(rng, rng() % longest, alphabet) + (rng() % 2 ? "\x03" : "\xfc");
        return source;
    };
    const std::string sources[] = {
        segments(3 * 4096 + 77, 300, "abcdefghijklmnop \x83\xb0\x01\xff\r\n"),
        segments(9000, 40, "ab\xff\xff\r\n\n"),
        segments(9000, 20, "abcd"),
        "x\x03" + drawn(rng, 5000, "abc\r\n\xff") + "\xfc" + segments(600, 90, "abc\xff"),
        std::string(9000, '\xff') + "\x03" + segments(300, 90, "ab"),
        drawn(rng, 9000, ""),
    };
    onEveryTarget([&] {
        for (const std::string& source : sources) {
            const auto* first = reinterpret_cast<const unsigned char*>(source.data());
            const auto* last = first + source.size();
            for (const bool tab : {false, true}) {
                const std::size_t plenty = 3 * source.size() + 64;
                for (const std::size_t room : {plenty, std::size_t{4400}, std::size_t{300}}) {
                    std::string fast(room, '\0'), slow(room, '\0');
                    const DecodedRun a = decodeWholeSegments(first, last, fast.data(), room, tab);
                    const DecodedRun b =
                        plain::decodeWholeSegments(first, last, slow.data(), room, tab);
                    ASSERT_EQ(a.next, b.next) << source.size() << " bytes, room " << room;
                    ASSERT_EQ(a.tabAfter, b.tabAfter);
                    ASSERT_EQ(fast.substr(0, a.written), slow.substr(0, b.written));
                }
            }
        }
    });
}

// Every length up to two of the widest vectors, at every alignment, right
// after an unreadable page and right before one, as input and as output
// (kernels write up to the room they are given): a kernel that reads a byte
// outside what it is given, or writes one outside its room, crashes here,
// on every target this processor has.
TEST_P(KernelBounds, ReachesNothingPastItsBytes) {
    GuardedPage input, output;
    if (!input.ok() || !output.ok())
        GTEST_SKIP() << "no guarded pages: " << std::strerror(errno);
    const Check check = GetParam().check;
    onEveryTarget([&] {
        std::mt19937 rng(83);
        // Breaks, CRs, LFs and fillers; RTF specials and TABs; any byte.
        const std::string_view alphabets[] = {"ab\x03\xfc\r\n\xff\x83",
                                              "ab\\{}\r\n\xff\t\x1f \x7f\x80", ""};
        for (std::size_t n = 0; n <= 128; ++n) {
            for (const std::string_view alphabet : alphabets) {
                const std::string bytes = drawn(rng, n, alphabet);
                for (std::size_t align = 0; align < 64; ++align) {
                    for (const Side inSide : {Side::afterGuard, Side::beforeGuard}) {
                        char* const in = input.place(n, align, inSide);
                        std::memcpy(in, bytes.data(), n);
                        for (const Side outSide : {Side::afterGuard, Side::beforeGuard}) {
                            const testing::AssertionResult r =
                                check(in, n, OutputAt{output, align, outSide});
                            if (!r) {
                                ADD_FAILURE()
                                    << r.message() << ": length " << n << ", alignment " << align
                                    << ", input "
                                    << (inSide == Side::afterGuard ? "after" : "before")
                                    << " a guard, output "
                                    << (outSide == Side::afterGuard ? "after" : "before") << " one";
                                return;
                            }
                        }
                    }
                }
            }
        }
    });
}

const auto kernelName = [](const testing::TestParamInfo<Kernel>& info) {
    return std::string(info.param.name);
};
INSTANTIATE_TEST_SUITE_P(EachKernel, KernelBounds, testing::ValuesIn(kernels), kernelName);
INSTANTIATE_TEST_SUITE_P(EachKernel, KernelValues, testing::ValuesIn(kernels), kernelName);

} // namespace
} // namespace orv::test
