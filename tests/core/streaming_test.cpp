// The streaming paths against the plain statement of the conversion: the
// source decoder, the writers and the background writer. The cases sit on
// the block edges of whatever block sizes the build uses.
#include "decode/source_decoder.h"
#include "io/background_writer.h"
#include "io/block_sizes.h"
#include "io/conversion_error.h"
#include "io/scratch_blocks.h"
#include "simd/byte_kernels.h"
#include "simd/kernel_targets.h"
#include "tests/core/test_support.h"
#include "tests/reference/conversion.h"
#include "tests/reference/decoding.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

#include <cerrno>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace orv::test {
namespace {

constexpr std::size_t block = ioBlockSize;

// Bytes drawn from alphabet, length of them.
std::string drawn(std::mt19937& rng, std::size_t length, std::string_view alphabet) {
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = alphabet[rng() % alphabet.size()];
    return bytes;
}

const std::string_view plain = "abcw \x01\x83\xb0";
const std::string_view withTerminators = "abcw\r\n\n\r\xff\xff";
const std::string_view withBreaks = "ab\x03\xfc\xfa\xfe\r\n\xff\x83";

// Sources whose segments, terminators and fillers fall on and around block edges.
std::vector<std::string> sourceCases() {
    std::mt19937 rng(77);
    std::vector<std::string> cases = {"a", "\r", "\r\n", "\n", "\xff", "\x03", "\xfc\r\n\n"};
    for (const std::size_t size : {block - 1, block, block + 1, 2 * block + 7, 3 * block}) {
        cases.push_back(drawn(rng, size, plain));           // one segment, no terminator
        cases.push_back(drawn(rng, size, withTerminators)); // one segment with CR, LF, fillers
        cases.push_back(drawn(rng, size, withBreaks));      // many short segments
        // One long segment between short ones, a CR LF split by the block edge.
        cases.push_back("x\x03" + drawn(rng, size - 1, withTerminators) + "\r\n\xfc" +
                        drawn(rng, 40, withBreaks));
        cases.push_back(std::string(block - 1, 'q') + "\r\n" + drawn(rng, size, plain) + "\xfc");
    }
    // Short ones of any bytes, and of those that matter most.
    std::string anyByte(256, '\0');
    for (int b = 0; b < 256; ++b)
        anyByte[b] = static_cast<char>(b);
    for (int i = 0; i < 60; ++i)
        cases.push_back(drawn(rng, 1 + rng() % 600, i % 2 ? anyByte : withBreaks));
    return cases;
}

class StreamingTest : public TempDirTest {};

TEST_F(StreamingTest, SourceDecoderWritesWhatThePlainPathWrites) {
    for (const std::string& source : sourceCases()) {
        writeFile(path("S.ORV"), source);
        EXPECT_EQ(decodeSourceToTextFile(path("S.ORV"), path("S.ORV.txt")), source.size());
        EXPECT_TRUE(readFile(path("S.ORV.txt")) ==
                    decodeContent(readSourceContent(path("S.ORV"))) + "\r\n")
            << source.size() << " bytes starting " << source.substr(0, 8);
    }
}

TEST_F(StreamingTest, AnEmptySourceFailsBeforeTheTextFileExists) {
    writeFile(path("E.ORV"), "");
    try {
        decodeSourceToTextFile(path("E.ORV"), path("E.ORV.txt"));
        ADD_FAILURE() << "an empty source decoded";
    } catch (const ConversionError& failure) {
        EXPECT_EQ(failure.errorNumber(), ENODATA);
        EXPECT_EQ(std::string(failure.what()), path("E.ORV") + ": No data available");
    }
    EXPECT_EQ(listing(), Names{"E.ORV"});
}

TEST_F(StreamingTest, WritersWriteWhatThePlainStatementWrites) {
    std::mt19937 rng(78);
    const std::string_view text = "ab{}\\\t\n\x83\x01\x7f\xff";
    std::vector<std::string> files = {"p", "p\r", "p\r\n", "p\r\n\r\n", "p\rq", "p\r\n\n"};
    for (const std::size_t size : {block - 1, block, block + 1, 2 * block + 5}) {
        files.push_back("p\r\n" + drawn(rng, size, text) + "\r\n\r\n"); // one long line
        files.push_back(drawn(rng, size, "ab\r\n\\"));   // short lines, CR LF at every edge
        files.push_back("p\r" + drawn(rng, size, text)); // the last line unterminated
        files.push_back(std::string(block - 1, 'p') + "\r\n" + drawn(rng, size, text) + "\r");
    }
    for (const std::string& file : files) {
        writeFile(path("D.txt"), file);
        const std::vector<std::string> lines = textLines(file);
        writeDocument(writeAccentDocument, path("D.txt"), path("D.acc"));
        writeDocument(writeRtfDocument, path("D.txt"), path("D.rtf"));
        EXPECT_TRUE(readFile(path("D.acc")) == accentDocument(lines)) << file.size() << " bytes";
        EXPECT_TRUE(readFile(path("D.rtf")) == rtfDocument(lines)) << file.size() << " bytes";
    }
}

TEST_F(StreamingTest, WritersRefuseAnEmptyDecodedTextFile) {
    writeFile(path("D.txt"), "");
    for (const DocumentWriter writer : {writeAccentDocument, writeRtfDocument}) {
        try {
            writeDocument(writer, path("D.txt"), path("D.out"));
            ADD_FAILURE() << "an empty decoded text file was written out";
        } catch (const ConversionError& failure) {
            EXPECT_EQ(failure.errorNumber(), ENODATA);
        }
    }
}

// Runs check once for each SIMD target this processor has, as dispatch would
// pick it on a processor that had no better one.
template <class Check> void onEveryTarget(Check check) {
    for (const std::string_view target : kernelTargets()) {
        useKernelTarget(target);
        SCOPED_TRACE(target);
        check();
    }
    useKernelTarget("");
}

// The SIMD kernels give what the plain loops give, on every length and
// alignment around the vector widths (16 and 64 bytes, and the target's full
// width for scans), with the bytes that matter to each.
TEST(ByteKernels, MatchThePlainLoops) {
    onEveryTarget([] {
        std::mt19937 rng(80);
        const std::string_view alphabets[] = {plain, withTerminators, withBreaks,
                                              "\\{}ab\x83\x1f\t\x7f\x80\xff",
                                              "abcdefghijklmnopqrstuvwxyz0123456789"};
        for (const std::string_view alphabet : alphabets) {
            for (std::size_t length = 0; length < 200; ++length) {
                const std::string bytes = drawn(rng, length + 7, alphabet);
                const auto* first =
                    reinterpret_cast<const unsigned char*>(bytes.data()) + length % 7;
                const auto* last = first + length;
                EXPECT_EQ(findBreakOrCr(first, last), plain::findBreakOrCr(first, last));
                const char* text = reinterpret_cast<const char*>(first);
                EXPECT_EQ(findRtfSpecial(text, text + length),
                          plain::findRtfSpecial(text, text + length));
                std::string fast(length, '\0'), slow(length, '\0');
                fast.resize(reverseTranslate(first, last, fast.data()));
                slow.resize(plain::reverseTranslate(first, last, slow.data()));
                EXPECT_EQ(fast, slow);
                for (const int before : {-1, int{'\r'}}) {
                    fast.assign(length, '\0');
                    slow.assign(length, '\0');
                    fast.resize(reverseTranslateSegment(first, last, fast.data(), before));
                    slow.resize(plain::reverseTranslateSegment(first, last, slow.data(), before));
                    EXPECT_EQ(fast, slow);
                }
                fast.assign(length, '\0');
                slow.assign(length, '\0');
                reverseCopy(text, length, fast.data());
                plain::reverseCopy(text, length, slow.data());
                EXPECT_EQ(fast, slow);
            }
        }
    });
}

// The loops over whole segments and whole lines stop where the plain ones
// stop, with the same bytes, for every room from none to plenty.
TEST(ByteKernels, WholeSegmentsAndLinesMatchThePlainLoops) {
    onEveryTarget([] {
        std::mt19937 rng(81);
        // Lines mostly shorter than a vector, and mostly longer.
        const std::string_view lineBytes[] = {"ab\\{}\r\r\n\n\t\xfc",
                                              "abcdefghijklmnopqrstuvwxyz{}\\\r\n\xe9\x01"};
        for (int round = 0; round < 40; ++round) {
            const std::size_t size = rng() % 400;
            const std::string source = drawn(rng, size, round % 2 == 0 ? withBreaks : plain);
            const std::string text = drawn(rng, size, lineBytes[round % 2]);
            for (const std::size_t room : {std::size_t{0}, std::size_t{5}, std::size_t{70},
                                           std::size_t{150}, 3 * size + 20}) {
                const auto* p = reinterpret_cast<const unsigned char*>(source.data());
                for (const bool tab : {false, true}) {
                    std::string fast(room, '\0'), slow(room, '\0');
                    const DecodedRun a = decodeWholeSegments(p, p + size, fast.data(), room, tab);
                    const DecodedRun b =
                        plain::decodeWholeSegments(p, p + size, slow.data(), room, tab);
                    EXPECT_EQ(a.next, b.next);
                    EXPECT_EQ(a.tabAfter, b.tabAfter);
                    ASSERT_EQ(a.written, b.written);
                    EXPECT_EQ(fast.substr(0, a.written), slow.substr(0, b.written));
                }
                for (const LineForm form : {LineForm::reversed, LineForm::rtfEscaped}) {
                    std::string fast(room, '\0'), slow(room, '\0');
                    const char* t = text.data();
                    const LineRun a =
                        writeWholeLines(t, t + size, fast.data(), room, form, "</P>\r\n");
                    const LineRun b =
                        plain::writeWholeLines(t, t + size, slow.data(), room, form, "</P>\r\n");
                    EXPECT_EQ(a.next, b.next);
                    ASSERT_EQ(a.written, b.written);
                    EXPECT_EQ(fast.substr(0, a.written), slow.substr(0, b.written));
                }
            }
        }
    });
}

// Takes bytes until its limit, then fails as a full disk does.
class FillingSink final : public ByteSink {
public:
    explicit FillingSink(std::size_t limit) : limit_(limit) {}
    void write(std::string_view bytes) override {
        if (taken.size() + bytes.size() > limit_)
            throw ConversionError("sink", ENOSPC);
        taken.append(bytes);
    }
    std::string taken;

private:
    std::size_t limit_;
};

TEST(BackgroundWriter, PassesEveryByteInOrderOrTheFirstFailure) {
    std::mt19937 rng(79);
    const std::string bytes = drawn(rng, 5 * block + 3, "abcdefgh");
    for (const std::size_t limit : {bytes.size(), bytes.size() - 1, 2 * block, std::size_t{0}}) {
        FillingSink sink(limit);
        bool failed = false;
        try {
            BackgroundWriter out(sink);
            for (std::size_t at = 0; at < bytes.size();) {
                const std::size_t n = std::min<std::size_t>(rng() % (block + 9), bytes.size() - at);
                out.write(std::string_view(bytes).substr(at, n));
                at += n;
            }
            out.finish();
        } catch (const ConversionError& failure) {
            failed = true;
            EXPECT_EQ(failure.errorNumber(), ENOSPC);
        }
        EXPECT_EQ(failed, limit < bytes.size()) << "limit " << limit;
        // Everything, or a prefix of it up to the failure.
        EXPECT_TRUE(failed ? bytes.starts_with(sink.taken) : sink.taken == bytes)
            << "limit " << limit;
    }
}

// Two users of one scratch block would overwrite each other's bytes: a
// thread holds each role once at a time, and every thread has its own.
TEST(ScratchBlock, IsHeldOnceAtATimeByEachThread) {
    {
        const ScratchBlock input(ScratchRole::input);
        EXPECT_THROW(ScratchBlock{ScratchRole::input}, std::logic_error);
        EXPECT_NO_THROW(ScratchBlock{ScratchRole::backward});
        bool taken = false;
        std::thread([&] {
            const ScratchBlock other(ScratchRole::input);
            taken = other.get() != nullptr;
        }).join();
        EXPECT_TRUE(taken);
        // A BackgroundWriter holds the thread's fill blocks for its life.
        std::string bytes;
        StringSink sink(bytes);
        const BackgroundWriter writer(sink);
        EXPECT_THROW(ScratchBlock{ScratchRole::fillA}, std::logic_error);
    }
    EXPECT_NO_THROW(ScratchBlock{ScratchRole::input});
}

} // namespace
} // namespace orv::test
