#include "decode/char_map.h"
#include "decode/decoded_text_file.h"
#include "decode/decoder.h"
#include "tests/core/test_support.h"

#include <array>
#include <cstdint>
#include <random>

namespace orv::test {
namespace {

constexpr std::int16_t _ = -1;

// The translation table typed out by hand, sixteen entries a row.
constexpr std::array<std::int16_t, 256> expectedCharMap = {
    _,   81,  _,   _,   74,  _,   _,   113, 72,  _,   _,   _,   _,   _,   _,   _,   // 0
    _,   _,   82,  66,  90,  _,   86,  65,  88,  _,   _,   _,   _,   _,   _,   _,   // 16
    32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,  // 32
    48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,  // 48
    64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  // 64
    80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,  // 80
    96,  97,  98,  67,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, // 96
    112, 113, 114, 115, 116, 117, 118, 97,  120, 121, 122, 123, 124, 125, 126, 127, // 112
    128, 129, 71,  _,   _,   89,  _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   // 128
    70,  _,   _,   _,   75,  _,   _,   _,   _,   _,   _,   _,   _,   _,   120, _,   // 144
    _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   119, 87,  105, 73,  // 160
    117, 85,  101, 69,  111, 79,  _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   // 176
    _,   _,   _,   _,   _,   99,  _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   // 192
    _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   // 208
    _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   // 224
    _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   // 240
};

TEST(CharMap, EveryEntryMatchesTheTypedTable) {
    int translated = 0;
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(charMap[b], expectedCharMap[b]) << "entry " << b;
        translated += expectedCharMap[b] != _;
    }
    EXPECT_EQ(translated, 124); // guards the typed table itself
}

TEST(CharMap, BreakCodesAndFillerAreUntranslated) {
    for (const int b : {3, 250, 252, 254, 255})
        EXPECT_EQ(charMap[b], noTranslation) << "entry " << b;
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(isBreakCode(static_cast<unsigned char>(b)),
                  b == 3 || b == 250 || b == 252 || b == 254)
            << "byte " << b;
}

// The walk exactly as worded: reverse, drop fillers, then prepend each
// finished line to out. Quadratic, and plain enough to trust.
std::string referenceDecode(const std::string& content) {
    const std::string reversed(content.rbegin(), content.rend());
    std::string line;
    std::string out;
    for (const char c : reversed) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 255)
            continue;
        if (expectedCharMap[b] != _) {
            line += static_cast<char>(expectedCharMap[b]);
        } else if (b == 3 || b == 250 || b == 254) {
            out = line + "\r\n" + out;
            line.clear();
        } else if (b == 252) {
            out = line + "\t\r\n" + out;
            line.clear();
        } else {
            line += c;
        }
    }
    return line + "\r\n" + out;
}

struct DecodeCase {
    const char* what;
    std::string content;
    std::string decoded;
};

TEST(DecodeContent, ExamplesAndEdgeCases) {
    const DecodeCase cases[] = {
        {"worked example", bytes({97, 98, 3, 99, 100, 252, 101, 102}),
         bytes({98, 97, 13, 10, 100, 67, 13, 10, 102, 101, 9, 13, 10})},
        {"empty content", "", "\r\n"},
        {"no break byte", "abd", "dba\r\n"},
        {"only fillers", bytes({255, 255, 255}), "\r\n"},
        {"filler inside a segment", bytes({97, 255, 98}), "ba\r\n"},
        {"252 then 3", bytes({252, 3}), "\r\n\t\r\n\r\n"},
        {"break last", bytes({'x', 250}), "x\r\n\r\n"},
        {"252 last", bytes({'x', 254, 'y', 252}), "x\r\ny\r\n\t\r\n"},
        {"lone LF and pass-through bytes", bytes({0, 2, 10, 131, 32}),
         bytes({32, 131, 10, 2, 0, 13, 10})},
        {"translated bytes", bytes({1, 99, 119, 197, 158}), "xcaCQ\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeContent(c.content), c.decoded) << c.what;
        EXPECT_EQ(referenceDecode(c.content), c.decoded) << c.what << " (reference)";
    }
}

// Random content leaning on the bytes with special handling.
std::string randomContent(std::mt19937& rng, std::size_t length, int breakPercent) {
    static constexpr unsigned char special[] = {3, 250, 252, 254};
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::string content;
    content.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const int roll = percent(rng);
        if (roll < breakPercent)
            content.push_back(static_cast<char>(special[roll % 4]));
        else if (roll < breakPercent + 8)
            content.push_back(static_cast<char>(255));
        else if (roll < breakPercent + 14)
            content.push_back('\r');
        else if (roll < breakPercent + 20)
            content.push_back('\n');
        else
            content.push_back(static_cast<char>(anyByte(rng)));
        // Break bytes come only from the first branch, so breakPercent sets their density.
        if (roll >= breakPercent && isBreakCode(static_cast<unsigned char>(content.back())))
            content.back() = 'z';
    }
    return content;
}

TEST(DecodeContent, MatchesThePlainFormulationOnRandomContent) {
    std::mt19937 rng(20240517);
    std::uniform_int_distribution<std::size_t> length(0, 600);
    std::uniform_int_distribution<int> breaks(0, 60);
    for (int round = 0; round < 2000; ++round) {
        const std::string content = randomContent(rng, length(rng), breaks(rng));
        ASSERT_EQ(decodeContent(content), referenceDecode(content)) << "round " << round;
    }
}

TEST(DecodeContent, MatchesThePlainFormulationOnLongSegments) {
    // Segments far longer than any internal piece or block the decoder uses.
    std::mt19937 rng(7);
    for (const std::size_t length : {std::size_t{70'000}, std::size_t{3'000'000}}) {
        const std::string content = randomContent(rng, length, 0) + bytes({252}) +
                                    randomContent(rng, length / 3, 0) + bytes({3});
        ASSERT_TRUE(sameBytes(decodeContent(content), referenceDecode(content)))
            << "length " << length;
    }
}

class DecodedTextFileTest : public TempDirTest {};

TEST_F(DecodedTextFileTest, WriteAddsOneLineEnd) {
    writeDecodedTextFile(path("a.txt"), "abc\r\n");
    EXPECT_EQ(readFile(path("a.txt")), "abc\r\n\r\n");
    // An existing file is replaced, not appended to.
    writeDecodedTextFile(path("a.txt"), "x\r\n");
    EXPECT_EQ(readFile(path("a.txt")), "x\r\n\r\n");
}

TEST_F(DecodedTextFileTest, StreamingDecodeEqualsWritingTheDecodedText) {
    std::mt19937 rng(99);
    std::vector<std::string> contents = {"", bytes({255}), bytes({252})};
    for (int i = 0; i < 50; ++i)
        contents.push_back(randomContent(rng, 1 + rng() % 5000, static_cast<int>(rng() % 50)));
    contents.push_back(randomContent(rng, 2'500'000, 1));
    contents.push_back(randomContent(rng, 2'500'000, 0));
    for (std::size_t i = 0; i < contents.size(); ++i) {
        decodeToTextFile(contents[i], path("streamed.txt"));
        writeDecodedTextFile(path("whole.txt"), decodeContent(contents[i]));
        ASSERT_TRUE(sameBytes(readFile(path("streamed.txt")), readFile(path("whole.txt"))))
            << "content " << i;
    }
}

} // namespace
} // namespace orv::test
