// The one line rule shared by the source reader and the decoded text file:
// a line ends at CR or CR LF, a lone LF is data, and the last line may lack
// a terminator. Both readers work in blocks of ioBlockSize, so the cases
// include terminators split across, and lines longer than, a block.

#include "decode/byte_files.h"
#include "decode/conversion_error.h"
#include "decode/decoded_text_file.h"
#include "decode/source_reader.h"
#include "tests/core/test_support.h"

#include <cerrno>

namespace orv::test {
namespace {

struct LineCase {
    const char* what;
    std::string file;
    std::vector<std::string> lines;
};

std::string run(char c, std::size_t count) {
    return std::string(count, c);
}

std::vector<LineCase> lineCases() {
    const std::size_t block = ioBlockSize;
    return {
        {"CR LF", "ab\r\ncd\r\n", {"ab", "cd"}},
        {"lone CR", "ab\rcd\r", {"ab", "cd"}},
        {"lone LF is data", "a\nb\r\n\n", {"a\nb", "\n"}},
        {"LF before CR is data", "\n\r", {"\n"}},
        {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
        {"only a terminator", "\r\n", {""}},
        {"no terminator", "abc", {"abc"}},
        {"TAB and Ctrl-Z are data", "x\t\x1a y\t\r\n", {"x\t\x1a y\t"}},
        {"empty final line", "abc\r\n\r\n", {"abc", ""}},
        {"CR LF across a block boundary",
         run('x', block - 1) + "\r\n\ny\r\n",
         {run('x', block - 1), "\ny"}},
        {"CR ending a block, CR next",
         run('x', block - 1) + "\r\rz",
         {run('x', block - 1), "", "z"}},
        {"CR as the last byte of a full block", run('x', block - 1) + "\r", {run('x', block - 1)}},
        {"terminator opening a block", run('x', block) + "\r\nq", {run('x', block), "q"}},
        {"line longer than a block",
         "p\r" + run('y', 2 * block + 5) + "\r\nq",
         {"p", run('y', 2 * block + 5), "q"}},
        {"long line split at a second block end",
         run('w', 2 * block - 1) + "\r\n\r\n",
         {run('w', 2 * block - 1), ""}},
        {"long last line without terminator",
         "a\r\n" + run('v', block + 3),
         {"a", run('v', block + 3)}},
    };
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines)
        all += line;
    return all;
}

class LineRuleTest : public TempDirTest {};

TEST_F(LineRuleTest, SourceReaderDropsTerminators) {
    for (const auto& c : lineCases()) {
        writeFile(path("S.ORV"), c.file);
        EXPECT_TRUE(sameBytes(readSourceContent(path("S.ORV")), joined(c.lines))) << c.what;
    }
}

TEST_F(LineRuleTest, DecodedLineReaderYieldsEachLine) {
    for (const auto& c : lineCases()) {
        writeFile(path("D.txt"), c.file);
        auto reader = openDecodedLines(path("D.txt"));
        std::vector<std::string> lines;
        while (!reader.atEnd())
            lines.emplace_back(reader.readLine());
        reader.close();
        ASSERT_EQ(lines.size(), c.lines.size()) << c.what;
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(sameBytes(lines[i], c.lines[i])) << c.what << ", line " << i;
    }
}

TEST_F(LineRuleTest, ReadingPastTheEndFails) {
    for (const std::string file : {"", "a\r\n", "a"}) {
        writeFile(path("D.txt"), file);
        auto reader = openDecodedLines(path("D.txt"));
        while (!reader.atEnd())
            reader.readLine();
        try {
            reader.readLine();
            ADD_FAILURE() << "read past the end of \"" << file << "\"";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.errorNumber(), ENODATA);
            EXPECT_EQ(std::string(e.what()), path("D.txt") + ": No data available");
        }
        reader.close();
    }
}

TEST_F(LineRuleTest, SourceWithNoBytesFailsButATerminatorAloneIsEmptyContent) {
    writeFile(path("E.ORV"), "");
    try {
        readSourceContent(path("E.ORV"));
        ADD_FAILURE() << "an empty source was read";
    } catch (const ConversionError& e) {
        EXPECT_EQ(std::string(e.what()), path("E.ORV") + ": No data available");
    }
    writeFile(path("T.ORV"), "\r");
    EXPECT_EQ(readSourceContent(path("T.ORV")), "");
}

TEST_F(LineRuleTest, MissingFilesFailWithTheirPath) {
    const std::string missing = path("none.ORV");
    for (const auto& open : {+[](const std::string& p) { readSourceContent(p); },
                             +[](const std::string& p) { openDecodedLines(p); }}) {
        try {
            open(missing);
            ADD_FAILURE() << "a missing file was opened";
        } catch (const ConversionError& e) {
            EXPECT_EQ(std::string(e.what()), missing + ": No such file or directory");
            EXPECT_EQ(e.errorNumber(), ENOENT);
        }
    }
}

} // namespace
} // namespace orv::test
