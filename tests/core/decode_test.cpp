// The source decoding: the plain statement of it against worked examples,
// and the shipped decoder against both.
#include "decode/source_decoder.h"
#include "io/block_sizes.h"
#include "tests/core/test_support.h"
#include "tests/reference/decoding.h"

#include <utility>
#include <vector>

namespace orv::test {
namespace {

class DecodeTest : public TempDirTest {
protected:
    // What the shipped decoder writes as the decoded text file of a source
    // holding bytes.
    std::string decodedTextFile(const std::string& bytes) {
        writeFile(path("S.ORV"), bytes);
        decodeSourceToTextFile(path("S.ORV"), path("S.ORV.txt"));
        return readFile(path("S.ORV.txt"));
    }
};

TEST_F(DecodeTest, ExamplesAndEdgeCases) {
    const std::pair<std::string, std::string> cases[] = {
        {"ab\3cd\374ef", "ba\r\ndC\r\nfe\t\r\n"}, // the worked example
        {"", "\r\n"},
        {"\377\377", "\r\n"},
        {"a\377b", "ba\r\n"},
        {"\374\3", "\r\n\t\r\n\r\n"},
        {"x\372y\376", "x\r\ny\r\n\r\n"},
        {std::string("\0\2\n\203 ", 5), std::string(" \203\n\2\0\r\n", 7)},
        {"\1cw\305\236\260", "uxcaCQ\r\n"},
    };
    for (const auto& [content, decoded] : cases) {
        EXPECT_EQ(decodeContent(content), decoded);
        // A source of no bytes fails to read, before any text file.
        if (!content.empty()) {
            EXPECT_EQ(decodedTextFile(content), decoded + "\r\n");
        }
    }
}

// The line rule of both readers: a line ends at CR or CR LF, a lone LF is
// data, the last line may lack a terminator. The shipped decoder reads in
// blocks of ioBlockSize.
TEST_F(DecodeTest, SourcesSplitIntoLinesAtTheirTerminators) {
    const std::string x(ioBlockSize - 1, 'x'), y(2 * ioBlockSize + 5, 'y');
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"ab\rcd", {"ab", "cd"}},
        {"a\nb\r\n\n", {"a\nb", "\n"}},
        {"a\r\r\nb\t\x1a", {"a", "", "b\t\x1a"}},
        {"\r\n", {""}},
        {"ab\r\ncd\r\n\r\n", {"ab", "cd", ""}},
        {x + "\r\n\ny\r\n", {x, "\ny"}}, // CR LF straddling the block boundary
        {x + "\r\rz", {x, "", "z"}},
        {"p\r" + y + "\r\nq", {"p", y, "q"}},
    };
    for (const auto& [file, lines] : cases) {
        EXPECT_TRUE(textLines(file) == lines) << file.size() << " bytes";
        std::string joined;
        for (const auto& line : lines)
            joined += line;
        EXPECT_TRUE(decodedTextFile(file) == decodeContent(joined) + "\r\n")
            << file.size() << " bytes";
    }
}

} // namespace
} // namespace orv::test
