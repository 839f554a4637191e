#include "decode/conversion_error.h"
#include "decode/decoded_text_file.h"
#include "tests/core/test_support.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

namespace orv::test {
namespace {

class WritersTest : public TempDirTest {
protected:
    // Writes the decoded text file for decodedText and returns its path.
    std::string decodedFile(std::string_view decodedText) {
        writeDecodedTextFile(path("D.txt"), decodedText);
        return path("D.txt");
    }
};

struct WriterCase {
    const char* what;
    std::string decodedText;
    std::string body; // everything between the header and the closing lines
};

TEST_F(WritersTest, AccentBodyIsEachLineBackInSourceOrder) {
    const WriterCase cases[] = {
        // No break byte: only the final empty line gives a paragraph; sixteen lines in all.
        {"no break bytes", "cba\r\n", crlfLines({"</P><P><NL>"})},
        {"segment after 252 starts with TAB", "P\r\nba\t\r\n",
         crlfLines({"\tab</P><P><NL>", "</P><P><NL>"})},
        {"a line of only TAB", "\r\n\t\r\n\r\n",
         crlfLines({"\t</P><P><NL>", "</P><P><NL>", "</P><P><NL>"})},
        {"nothing escaped", bytes({'p', 13, 10, 131, '}', '\\', '{', 13, 10}),
         crlfLines({bytes({'{', '\\', '}', 131}) + "</P><P><NL>", "</P><P><NL>"})},
    };
    for (const auto& c : cases) {
        writeAccentDocument(decodedFile(c.decodedText), path("D.acc"));
        EXPECT_EQ(readFile(path("D.acc")), accentHeader() + c.body + crlfLines({accentTrailer}))
            << c.what;
    }
}

TEST_F(WritersTest, AccentWithoutBreakBytesHasSixteenLines) {
    writeAccentDocument(decodedFile("abc\r\n"), path("D.acc"));
    const std::string document = readFile(path("D.acc"));
    EXPECT_EQ(std::count(document.begin(), document.end(), '\n'), 16);
}

TEST_F(WritersTest, RtfBodyEscapesOnlyBackslashAndBraces) {
    const WriterCase cases[] = {
        {"no break bytes", "cba\r\n", "\\par\r\n\r\n"},
        {"TAB and bytes above 127 stay raw",
         bytes({'p', 13, 10, 'y', 'x', 9, 13, 10, 128, 200, 255, 13, 10}),
         bytes({'y', 'x', 9}) + "\\par\r\n\r\n" + bytes({128, 200, 255}) + "\\par\r\n\r\n" +
             "\\par\r\n\r\n"},
        {"backslash and braces escaped", "p\r\na}b{c\\d\r\n\\par\r\n",
         "a\\}b\\{c\\\\d\\par\r\n\r\n\\\\par\\par\r\n\r\n\\par\r\n\r\n"},
        {"a digit first stays apart from the header", "p\r\n12\r\n",
         "12\\par\r\n\r\n\\par\r\n\r\n"},
    };
    for (const auto& c : cases) {
        writeRtfDocument(decodedFile(c.decodedText), path("D.rtf"));
        EXPECT_EQ(readFile(path("D.rtf")), rtfHeader() + c.body + rtfClosing()) << c.what;
    }
}

TEST_F(WritersTest, RtfBracesBalanceWhateverTheText) {
    std::string decoded = "}}}\r\n";
    for (int b = 0; b < 256; ++b)
        if (b != '\r')
            decoded.push_back(static_cast<char>(b));
    decoded += "\r\n{{\\\r\n";
    writeRtfDocument(decodedFile(decoded), path("D.rtf"));
    const std::string document = readFile(path("D.rtf"));
    int depth = 0;
    int lowest = 1;
    for (std::size_t i = 0; i < document.size(); ++i) {
        if (document[i] == '\\') {
            ++i; // an escaped byte or the first letter of a control word
        } else if (document[i] == '{') {
            ++depth;
        } else if (document[i] == '}') {
            --depth;
            if (i + 3 < document.size())
                lowest = std::min(lowest, depth);
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_GE(lowest, 1) << "the document group closed before the end";
}

TEST_F(WritersTest, MissingDecodedTextFailsBeforeCreatingTheOutput) {
    const std::string missing = path("none.txt");
    const std::pair<void (*)(const std::string&, const std::string&), const char*> writers[] = {
        {writeAccentDocument, "D.acc"}, {writeRtfDocument, "D.rtf"}};
    for (const auto& [write, output] : writers) {
        try {
            write(missing, path(output));
            ADD_FAILURE() << output << " written without a decoded text file";
        } catch (const ConversionError& e) {
            EXPECT_EQ(std::string(e.what()), missing + ": No such file or directory");
        }
    }
    EXPECT_EQ(listing(), std::vector<std::string>{});
}

} // namespace
} // namespace orv::test
