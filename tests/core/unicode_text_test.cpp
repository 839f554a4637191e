// The Unicode text: its table against the keyboard layouts it comes from,
// and the writer against examples and against a plain encoder on texts
// around the block edges.
#include "io/block_sizes.h"
#include "tests/core/test_support.h"
#include "writers/unicode_text.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>

namespace orv::test {
namespace {

// The keysym names the two layouts' "basic" sections use, as X defines
// them; a Unicode keysym (0x1000000 plus the code point) and a one-letter
// name need none. A name missing here fails the test: the files changed.
const std::map<std::string, char32_t> keysymNames = {
    {"grave", U'`'},
    {"asciitilde", U'~'},
    {"exclam", U'!'},
    {"at", U'@'},
    {"numbersign", U'#'},
    {"dollar", U'$'},
    {"percent", U'%'},
    {"asciicircum", U'^'},
    {"ampersand", U'&'},
    {"asterisk", U'*'},
    {"parenleft", U'('},
    {"parenright", U')'},
    {"minus", U'-'},
    {"underscore", U'_'},
    {"equal", U'='},
    {"plus", U'+'},
    {"bracketleft", U'['},
    {"braceleft", U'{'},
    {"bracketright", U']'},
    {"braceright", U'}'},
    {"semicolon", U';'},
    {"colon", U':'},
    {"apostrophe", U'\''},
    {"quotedbl", U'"'},
    {"backslash", U'\\'},
    {"bar", U'|'},
    {"comma", U','},
    {"less", U'<'},
    {"period", U'.'},
    {"greater", U'>'},
    {"slash", U'/'},
    {"question", U'?'},
    {"division", U'\u00F7'},
    {"multiply", U'\u00D7'},
    {"brokenbar", U'\u00A6'},
    {"Arabic_comma", U'\u060C'},
    {"Arabic_question_mark", U'\u061F'},
};

std::optional<char32_t> keysym(const std::string& name) {
    if (name.size() == 1)
        return static_cast<unsigned char>(name[0]);
    if (name.starts_with("0x")) {
        const unsigned long value = std::stoul(name, nullptr, 16);
        if ((value >> 24) == 1)
            return static_cast<char32_t>(value & 0xFFFFFF);
        return std::nullopt;
    }
    if (name.size() == 5 && name[0] == 'U')
        return static_cast<char32_t>(std::stoul(name.substr(1), nullptr, 16));
    const auto it = keysymNames.find(name);
    return it != keysymNames.end() ? std::optional(it->second) : std::nullopt;
}

// Each key of a symbols file's "basic" section and its symbols, level by level.
std::map<std::string, std::vector<std::string>> basicKeys(const std::string& text) {
    const auto start = text.find("xkb_symbols \"basic\"");
    const auto end = text.find("\n};", start);
    const std::string section = text.substr(start, end - start);
    std::map<std::string, std::vector<std::string>> keys;
    // key <NAME> { [ level1, level2 ] };
    for (auto at = section.find("key <"); at != std::string::npos;
         at = section.find("key <", at + 1)) {
        const auto nameEnd = section.find('>', at);
        const auto open = section.find('[', nameEnd), close = section.find(']', open);
        std::vector<std::string> symbols;
        std::istringstream levels(section.substr(open + 1, close - open - 1));
        for (std::string symbol; std::getline(levels, symbol, ',');) {
            symbol.erase(0, symbol.find_first_not_of(" \t\n"));
            symbol.erase(symbol.find_last_not_of(" \t\n") + 1);
            symbols.push_back(symbol);
        }
        keys[section.substr(at + 5, nameEnd - at - 5)] = symbols;
    }
    return keys;
}

TEST(UnicodeTextTable, IsWhatTheKeyboardLayoutsGive) {
    const std::string folder = "/usr/share/X11/xkb/symbols/";
    const std::string us = readFile(folder + "us"), mv = readFile(folder + "mv");
    if (us.find("xkb_symbols \"basic\"") == std::string::npos ||
        mv.find("xkb_symbols \"basic\"") == std::string::npos)
        GTEST_SKIP() << "no keyboard layouts in " << folder << " (Debian package xkb-data)";
    const auto usKeys = basicKeys(us), mvKeys = basicKeys(mv);
    ASSERT_FALSE(usKeys.empty());
    std::array<char32_t, 256> derived;
    derived.fill(U'\uFFFD');
    for (const int same : {'\t', '\n', '\r', ' '})
        derived[same] = static_cast<char32_t>(same);
    for (const auto& [name, symbols] : usKeys) {
        ASSERT_TRUE(mvKeys.contains(name)) << "key " << name;
        const auto& thaana = mvKeys.at(name);
        ASSERT_EQ(symbols.size(), thaana.size()) << "key " << name;
        for (std::size_t level = 0; level < symbols.size(); ++level) {
            const auto from = keysym(symbols[level]), to = keysym(thaana[level]);
            ASSERT_TRUE(from && to)
                << "key " << name << ": " << symbols[level] << ", " << thaana[level];
            ASSERT_LT(*from, 128U) << "key " << name;
            derived[*from] = *to;
        }
    }
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(unicodeTextTable[b], derived[b]) << "byte " << b;
}

// The plain encoder the writer must agree with.
std::string utf8Of(std::string_view bytes, std::uint64_t& replaced) {
    std::string out;
    replaced = 0;
    for (const char byte : bytes) {
        const char32_t c = unicodeTextTable[static_cast<unsigned char>(byte)];
        replaced += c == U'\uFFFD';
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class UnicodeTextTest : public TempDirTest {
protected:
    std::uint64_t write(const std::string& text) {
        writeFile(path("D.txt"), text);
        InputFile in(path("D.txt"));
        OutputFile out(path("D.utf8.txt"));
        const std::uint64_t replaced = writeUnicodeText(in, out);
        out.publish();
        in.close();
        return replaced;
    }
};

TEST_F(UnicodeTextTest, WritesEachByteAsItsCharacter) {
    const struct {
        std::string text;
        std::string expected;
        std::uint64_t replaced;
    } cases[] = {
        {"", "", 0},
        {"\r\n\r\n", "\r\n\r\n", 0},
        // The preamble line stays; a TAB ends a line as the decoder wrote it.
        {"x\r\nhaqa,\t\r\n\r\n", "\u00D7\r\n\u0780\u07A6\u07B0\u07A6\u060C\t\r\n\r\n", 0},
        {"1 2?\r\n", "1 2\u061F\r\n", 0},
        {"F\n\x01\x7f\x80\xff\r\n", "\uFDF2\n\uFFFD\uFFFD\uFFFD\uFFFD\r\n", 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(write(c.text), c.replaced) << c.text;
        EXPECT_EQ(readFile(path("D.utf8.txt")), c.expected) << c.text;
    }
}

TEST_F(UnicodeTextTest, LongTextsMatchThePlainEncoder) {
    std::mt19937 rng(90);
    constexpr std::size_t block = ioBlockSize;
    for (const std::size_t size : {block - 1, block, block + 1, 3 * block + 5}) {
        for (const bool anyByte : {false, true}) {
            std::string text(size, '\0');
            for (char& c : text)
                c = static_cast<char>(anyByte ? rng() : 'a' + rng() % 26);
            text += "\r\n\r\n";
            std::uint64_t replaced = 0;
            const std::string expected = utf8Of(text, replaced);
            EXPECT_EQ(write(text), replaced) << size;
            EXPECT_TRUE(readFile(path("D.utf8.txt")) == expected) << size;
        }
    }
}

} // namespace
} // namespace orv::test
