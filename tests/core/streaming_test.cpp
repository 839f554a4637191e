// The streaming paths against the plain ones: the source decoder against
// decodeContent(readSourceContent()), the writers against the plain line
// reader, and the background writer against a string. The cases sit on the
// block edges of whatever block sizes the build uses.
#include "decode/byte_kernels.h"
#include "decode/decoded_text_file.h"
#include "decode/decoder.h"
#include "decode/kernel_targets.h"
#include "decode/source_decoder.h"
#include "decode/source_reader.h"
#include "io/background_writer.h"
#include "io/block_sizes.h"
#include "io/conversion_error.h"
#include "tests/core/test_support.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

#include <cerrno>
#include <cstdint>
#include <random>
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
    return cases;
}

class StreamingTest : public TempDirTest {};

TEST_F(StreamingTest, SourceDecoderWritesWhatThePlainPathWrites) {
    for (const std::string& source : sourceCases()) {
        writeFile(path("S.ORV"), source);
        writeDecodedTextFile(path("plain.txt"), decodeContent(readSourceContent(path("S.ORV"))));
        EXPECT_EQ(decodeSourceToTextFile(path("S.ORV"), path("S.ORV.txt")), source.size());
        EXPECT_TRUE(readFile(path("S.ORV.txt")) == readFile(path("plain.txt")))
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

// What the writers must write, built from the plain line reader.
std::pair<std::string, std::string> plainDocuments(const std::string& textPath) {
    auto lines = openDecodedLines(textPath);
    std::string accent = accentHeader, rtf = rtfHeader;
    lines.readLine();
    while (!lines.atEnd()) {
        const std::string_view line = lines.readLine();
        accent.append(line.rbegin(), line.rend()).append("</P><P><NL>\r\n");
        appendRtfText(line, rtf);
        rtf.append("\\par\r\n\r\n");
    }
    lines.close();
    return {accent + accentTrailer, rtf + rtfClosing};
}

TEST_F(StreamingTest, WritersWriteWhatThePlainLineReaderReads) {
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
        const auto [accent, rtf] = plainDocuments(path("D.txt"));
        writeAccentDocument(path("D.txt"), path("D.acc"));
        writeRtfDocument(path("D.txt"), path("D.rtf"));
        EXPECT_TRUE(readFile(path("D.acc")) == accent) << file.size() << " bytes";
        EXPECT_TRUE(readFile(path("D.rtf")) == rtf) << file.size() << " bytes";
    }
}

TEST_F(StreamingTest, WritersRefuseAnEmptyDecodedTextFile) {
    writeFile(path("D.txt"), "");
    using Writer = void (*)(const std::string&, const std::string&);
    for (const Writer writer :
         std::initializer_list<Writer>{writeAccentDocument, writeRtfDocument}) {
        try {
            writer(path("D.txt"), path("D.out"));
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

} // namespace
} // namespace orv::test
