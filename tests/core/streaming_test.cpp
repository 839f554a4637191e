// The streaming paths against the plain statement of the conversion: the
// source decoder, the writers and the background writer (the byte kernels
// under them: kernel_bounds_test.cpp). The cases sit on
// the block edges of whatever block sizes the build uses.
#include "decode/source_decoder.h"
#include "io/background_writer.h"
#include "io/block_sizes.h"
#include "io/conversion_error.h"
#include "io/scratch_blocks.h"
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
