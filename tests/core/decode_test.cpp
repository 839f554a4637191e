// The source decoding: charMap, the decoder, the decoded text file and the line rule.
#include "decode/char_map.h"
#include "decode/decoded_text_file.h"
#include "decode/decoder.h"
#include "decode/source_reader.h"
#include "io/byte_files.h"
#include "tests/core/test_support.h"

#include <array>
#include <random>
#include <utility>
#include <vector>

namespace orv::test {
namespace {

// The translation table, typed out as its exceptions, identity runs and empty runs.
std::array<int, 256> typedCharMap() {
    std::array<int, 256> map;
    map.fill(-2); // an entry left untyped fails the comparison
    const int exceptions[][2] = {
        {1, 81},    {4, 74},   {7, 113},   {8, 72},    {18, 82},   {19, 66},   {20, 90},
        {22, 86},   {23, 65},  {24, 88},   {99, 67},   {119, 97},  {130, 71},  {133, 89},
        {144, 70},  {148, 75}, {158, 120}, {172, 119}, {173, 87},  {174, 105}, {175, 73},
        {176, 117}, {177, 85}, {178, 101}, {179, 69},  {180, 111}, {181, 79},  {197, 99}};
    const int identity[][2] = {{32, 98}, {100, 118}, {120, 129}};
    const int empty[][2] = {{0, 0},     {2, 3},     {5, 6},     {9, 17},    {21, 21},
                            {25, 31},   {131, 132}, {134, 143}, {145, 147}, {149, 157},
                            {159, 171}, {182, 196}, {198, 255}};
    for (const auto& [first, last] : identity)
        for (int b = first; b <= last; ++b)
            map[b] = b;
    for (const auto& [first, last] : empty)
        for (int b = first; b <= last; ++b)
            map[b] = -1;
    for (const auto& [from, to] : exceptions)
        map[from] = to;
    return map;
}
const std::array<int, 256> expectedMap = typedCharMap();

TEST(CharMap, EveryEntryMatchesTheTypedTable) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(charMap[b], expectedMap[b]) << "entry " << b;
}

// The result as stated in source order: split at break bytes, translate each
// segment, reverse it and end it (with a TAB after a 252).
std::string referenceDecode(const std::string& content) {
    std::string out, segment;
    const char* ending = "\r\n";
    const auto finish = [&](const char* next) {
        out += std::string(segment.rbegin(), segment.rend()) + std::exchange(ending, next);
        segment.clear();
    };
    for (const char c : content) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 3 || b == 250 || b == 252 || b == 254)
            finish(b == 252 ? "\t\r\n" : "\r\n");
        else if (b != 255)
            segment += static_cast<char>(expectedMap[b] < 0 ? b : expectedMap[b]);
    }
    finish("");
    return out;
}

TEST(DecodeContent, ExamplesAndEdgeCases) {
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
        EXPECT_EQ(referenceDecode(content), decoded) << "(reference)";
    }
}

// Random bytes, break bytes only at the given density (long stretches of none
// exceed the decoder's pieces; the longest exceed a 1 MiB file block).
std::string randomContent(std::mt19937& rng, std::size_t length, unsigned breakPercent) {
    const char special[] = "\3\372\374\376\377\r\n";
    std::string content(length, 'z');
    for (char& c : content) {
        const unsigned roll = rng() % 100;
        c = roll < breakPercent        ? special[roll % 4]
            : roll < breakPercent + 15 ? special[4 + roll % 3]
                                       : static_cast<char>(rng());
        if (roll >= breakPercent && std::string_view(special, 4).find(c) != std::string_view::npos)
            c = 'z';
    }
    return content;
}

class DecodeTest : public TempDirTest {};

TEST_F(DecodeTest, MatchesTheReferenceAndStreamsTheSameFile) {
    std::mt19937 rng(20240517);
    for (int round = 0; round < 400; ++round) {
        const std::size_t length = round % 40 == 0 ? 70'000 + round * 4'000 : rng() % 600;
        const std::string content = randomContent(rng, length, round % 3 ? rng() % 50 : 0);
        const std::string decoded = decodeContent(content);
        ASSERT_TRUE(decoded == referenceDecode(content)) << "round " << round;
        decodeToTextFile(content, path("streamed.txt"));
        writeDecodedTextFile(path("whole.txt"), decoded);
        ASSERT_TRUE(readFile(path("streamed.txt")) == decoded + "\r\n" &&
                    readFile(path("whole.txt")) == decoded + "\r\n")
            << "round " << round;
    }
}

// The line rule of both readers: a line ends at CR or CR LF, a lone LF is
// data, the last line may lack a terminator; both read in 1 MiB blocks.
TEST_F(DecodeTest, BothReadersSplitTheSameLines) {
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
        writeFile(path("F"), file);
        std::string joined;
        for (const auto& line : lines)
            joined += line;
        EXPECT_TRUE(readSourceContent(path("F")) == joined) << file.size() << " bytes";
        auto reader = openDecodedLines(path("F"));
        std::vector<std::string> read;
        while (!reader.atEnd())
            read.emplace_back(reader.readLine());
        reader.close();
        EXPECT_TRUE(read == lines) << file.size() << " bytes";
    }
}

} // namespace
} // namespace orv::test
