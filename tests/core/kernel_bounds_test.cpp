// The byte kernels on every SIMD target against the plain loops: on every
// byte value, and on bytes that touch unreadable memory on either side, so
// that a load or store past what a kernel was given is a crash here.
#include "simd/byte_kernels.h"
#include "simd/kernel_targets.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>

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
    char* begin() const { return base_ + size_; }
    char* end() const { return base_ + 2 * size_; }
    // n bytes at the start of the page or at its end.
    char* place(std::size_t n, bool atEnd) const { return atEnd ? end() - n : begin(); }

private:
    std::size_t size_ = 0;
    char* base_ = nullptr;
};

TEST(KernelBounds, EveryByteValueMatchesThePlainLoops) {
    onEveryTarget([] {
        std::mt19937 rng(82);
        for (std::size_t length = 0; length < 600; length += 1 + length / 16) {
            const std::string bytes = drawn(rng, length, "");
            const auto* first = reinterpret_cast<const unsigned char*>(bytes.data());
            const auto* last = first + length;
            std::string fast(length + 3 * length + 64, '\0'), slow = fast;
            EXPECT_EQ(std::string(fast.data(), reverseTranslate(first, last, fast.data())),
                      std::string(slow.data(), plain::reverseTranslate(first, last, slow.data())));
            for (const int before : {-1, int{'\r'}}) {
                EXPECT_EQ(std::string(fast.data(),
                                      reverseTranslateSegment(first, last, fast.data(), before)),
                          std::string(slow.data(), plain::reverseTranslateSegment(
                                                       first, last, slow.data(), before)));
            }
            const DecodedRun a = decodeWholeSegments(first, last, fast.data(), fast.size(), false);
            const DecodedRun b =
                plain::decodeWholeSegments(first, last, slow.data(), slow.size(), false);
            EXPECT_EQ(a.next, b.next);
            EXPECT_EQ(std::string(fast.data(), a.written), std::string(slow.data(), b.written));
        }
        // Each value alone, where the translation cannot lean on its neighbours.
        for (int b = 0; b < 256; ++b) {
            const std::string bytes(40, static_cast<char>(b));
            const auto* first = reinterpret_cast<const unsigned char*>(bytes.data());
            std::string fast(40, '\0'), slow(40, '\0');
            fast.resize(reverseTranslate(first, first + 40, fast.data()));
            slow.resize(plain::reverseTranslate(first, first + 40, slow.data()));
            EXPECT_EQ(fast, slow) << "byte " << b;
        }
    });
}

// Every length up to two of the widest vectors, at the start and at the end
// of a page between unreadable ones, as input and as output: the kernels
// read nothing outside what they are given and write nothing outside the
// room they are given.
TEST(KernelBounds, NoKernelReachesPastItsBytes) {
    GuardedPage input, output;
    if (!input.ok() || !output.ok())
        GTEST_SKIP() << "no guarded pages: " << std::strerror(errno);
    onEveryTarget([&] {
        std::mt19937 rng(83);
        const std::string_view alphabets[] = {"ab\x03\xfc\r\n\xff\x83",
                                              "ab\\{}\r\n\xff\t\x1f \x7f\x80"};
        for (std::size_t n = 0; n <= 128; ++n) {
            for (const bool inAtEnd : {false, true}) {
                for (const std::string_view alphabet : alphabets) {
                    const std::string bytes = drawn(rng, n, alphabet);
                    char* in = input.place(n, inAtEnd);
                    std::memcpy(in, bytes.data(), n);
                    const auto* first = reinterpret_cast<const unsigned char*>(in);
                    const auto* last = first + n;
                    EXPECT_EQ(findBreakOrCr(first, last), plain::findBreakOrCr(first, last));
                    EXPECT_EQ(findRtfSpecial(in, in + n), plain::findRtfSpecial(in, in + n));
                    std::string slow(6 * n + 64, '\0');
                    for (const bool outAtEnd : {false, true}) {
                        // Room for the bytes given, which the bytes kept may not fill.
                        std::size_t size = plain::reverseTranslate(first, last, slow.data());
                        char* out = output.place(n, outAtEnd);
                        EXPECT_EQ(std::string(out, reverseTranslate(first, last, out)),
                                  slow.substr(0, size));
                        size = plain::reverseTranslateSegment(first, last, slow.data(), '\r');
                        EXPECT_EQ(std::string(out, reverseTranslateSegment(first, last, out, '\r')),
                                  slow.substr(0, size));
                        out = output.place(n, outAtEnd);
                        reverseCopy(in, n, out);
                        plain::reverseCopy(in, n, slow.data());
                        EXPECT_EQ(std::string(out, n), slow.substr(0, n));
                        // As much room as the plain loops write, and as much as they
                        // stop at (a segment takes its length and 3 more).
                        const std::size_t room =
                            plain::decodeWholeSegments(first, last, slow.data(), slow.size(), true)
                                .written;
                        const DecodedRun b =
                            plain::decodeWholeSegments(first, last, slow.data(), room, true);
                        out = output.place(room, outAtEnd);
                        const DecodedRun a = decodeWholeSegments(first, last, out, room, true);
                        EXPECT_EQ(a.next, b.next);
                        EXPECT_EQ(std::string(out, a.written), slow.substr(0, b.written));
                        for (const LineForm form : {LineForm::reversed, LineForm::rtfEscaped}) {
                            // Escaping takes room for four times a line's bytes: room
                            // for every line, and for some (any ending shorter than an
                            // escape included).
                            const std::size_t full =
                                form == LineForm::reversed ? n + n / 2 * 4 : 4 * n + n / 2 * 4;
                            for (const std::size_t room : {full, full / 3 + 1}) {
                                for (const std::string_view ending : {"</P>", ""}) {
                                    const LineRun d = plain::writeWholeLines(
                                        in, in + n, slow.data(), room, form, ending);
                                    out = output.place(room, outAtEnd);
                                    const LineRun c =
                                        writeWholeLines(in, in + n, out, room, form, ending);
                                    EXPECT_EQ(c.next, d.next);
                                    EXPECT_EQ(std::string(out, c.written),
                                              slow.substr(0, d.written));
                                }
                            }
                        }
                    }
                }
            }
        }
    });
}

} // namespace
} // namespace orv::test
