// The RTF document as real readers see it: a body holding every byte a
// decoded line can hold (all but CR) must come back, paragraph by
// paragraph, as the characters Windows-1252 gives those bytes, since the
// header declares \ansi. Each reader's text output is taken apart at
// markers around each paragraph.
#include "io/byte_files.h"
#include "tests/core/test_support.h"
#include "tests/readers/utf8_text.h"
#include "writers/rtf_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orv::test {
namespace {

// Windows-1252 from 0x80 to 0x9F; 0 where it defines no character (0x81,
// 0x8D, 0x8F, 0x90, 0x9D). Every other byte is its own code point.
constexpr char32_t windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool undefinedIn1252(unsigned char b) {
    return b >= 0x80 && b < 0xA0 && windows1252High[b - 0x80] == 0;
}

// The readers agree on every character Windows-1252 defines, and on LF (a
// line break) and 127; they differ, each in its own way, only on the
// other control bytes, TAB and the five bytes the code page leaves out.
struct Reader {
    const char* name;
    const char* program;
    // The shell command that turns dir/D.rtf into text on its standard output.
    std::string (*command)(const std::string& dir);
    // What the reader gives for a byte that is no character of the code page.
    std::u32string (*otherByte)(unsigned char b);
    // Its output as code points.
    std::u32string (*decode)(const std::string& bytes);
};

// Bytes as code points, "&#N;" as the code point N.
std::u32string fromEntities(const std::string& bytes) {
    std::u32string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.compare(i, 2, "&#") == 0) {
            const auto end = bytes.find(';', i);
            if (end != std::string::npos && end > i + 2 &&
                bytes.find_first_not_of("0123456789", i + 2) == end) {
                out += static_cast<char32_t>(std::stoul(bytes.substr(i + 2, end - i - 2)));
                i = end;
                continue;
            }
        }
        out += static_cast<unsigned char>(bytes[i]);
    }
    return out;
}

const Reader readers[] = {
    // LibreOffice keeps TAB, drops the other control bytes, and gives the
    // bytes the code page leaves out as private-use characters U+F1xx.
    {"LibreOffice", "soffice",
     [](const std::string& dir) {
         return "timeout 240 soffice -env:UserInstallation=file://" + dir +
                "/profile --headless --convert-to 'txt:Text (encoded):UTF8' --outdir " + dir +
                "/lo " + dir + "/D.rtf >" + dir + "/lo.log 2>&1 && cat " + dir + "/lo/D.txt";
     },
     [](unsigned char b) -> std::u32string {
         if (b == '\t')
             return U"\t";
         return b < 0x20 ? U"" : std::u32string(1, 0xF100 | b);
     },
     fromUtf8},
    // pandoc gives a TAB as a space, keeps the other control bytes, and
    // takes the bytes the code page leaves out as Latin-1 (U+0081 and so on).
    {"pandoc", "pandoc",
     [](const std::string& dir) {
         return "timeout 240 pandoc -f rtf -t plain --wrap=none " + dir + "/D.rtf 2>" + dir +
                "/pandoc.log";
     },
     [](unsigned char b) -> std::u32string { return b == '\t' ? U" " : std::u32string(1, b); },
     fromUtf8},
    // unrtf gives a TAB as a space, drops NUL and the bytes the code page
    // leaves out, and keeps the other control bytes. Its plain text output
    // writes a character past U+00FF as one byte (its low one), so it is
    // given its own text settings with characters as "&#N;" instead.
    {"unrtf", "unrtf",
     [](const std::string& dir) {
         return "(cat /usr/share/unrtf/text.conf && printf 'unisymbol_print\\n\\t&#%%;\\n') >" +
                dir + "/codes.conf && timeout 240 unrtf -P " + dir + " -t codes " + dir +
                "/D.rtf 2>" + dir + "/unrtf.log";
     },
     [](unsigned char b) -> std::u32string {
         if (b == '\t')
             return U" ";
         return b == 0 || undefinedIn1252(b) ? U"" : std::u32string(1, b);
     },
     fromEntities},
};

void PrintTo(const Reader& reader, std::ostream* out) {
    *out << reader.name;
}

std::u32string expected(const Reader& reader, unsigned char b) {
    if (b == '\n')
        return U"\n";
    if (b < 0x20 || undefinedIn1252(b))
        return reader.otherByte(b);
    if (b >= 0x80 && b < 0xA0)
        return std::u32string(1, windows1252High[b - 0x80]);
    return std::u32string(1, b);
}

// The paragraphs: every byte value but CR, sixteen to a paragraph, each
// followed by an x (so that no reader sees a TAB or a space at a line's
// end), and one of bytes that an escape must not swallow: hex digits and
// a digit straight after escaped bytes.
struct Paragraph {
    std::string bytes;
    std::u32string (*expect)(const Reader&, const std::string&);
};

std::vector<Paragraph> paragraphs() {
    const auto eachByte = [](const Reader& reader, const std::string& bytes) {
        std::u32string out;
        for (const char b : bytes)
            out += expected(reader, static_cast<unsigned char>(b));
        return out;
    };
    std::vector<Paragraph> list;
    for (int row = 0; row < 16; ++row) {
        std::string bytes;
        for (int b = row * 16; b < row * 16 + 16; ++b) {
            if (b != '\r')
                bytes += {static_cast<char>(b), 'x'};
        }
        list.push_back({bytes, eachByte});
    }
    list.push_back({std::string("\xe9"
                                "ff\x80"
                                "0\\{}\n"
                                "a\x01"
                                "1\xff\xff"
                                "9",
                                14),
                    eachByte});
    return list;
}

class RtfReaders : public TempDirTest, public ::testing::WithParamInterface<Reader> {};

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r"); pipe != nullptr) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) != 0;)
            out.append(buffer, n);
        if (::pclose(pipe) != 0)
            ADD_FAILURE() << "failed: " << command;
    }
    return out;
}

std::string hex(const std::u32string& text) {
    std::string out;
    char buffer[16];
    for (const char32_t c : text) {
        std::snprintf(buffer, sizeof buffer, " %04X", static_cast<unsigned>(c));
        out += buffer;
    }
    return out;
}

TEST_P(RtfReaders, GiveEveryParagraphAsTheCodePageSays) {
    const Reader& reader = GetParam();
    if (std::system((std::string("command -v ") + reader.program + " >/dev/null 2>&1").c_str()) !=
        0)
        GTEST_SKIP() << reader.program << " is not installed (Debian package "
                     << (reader.name == std::string("LibreOffice") ? "libreoffice-writer-nogui"
                                                                   : reader.program)
                     << ")";
    const auto list = paragraphs();
    std::string text = "preamble\r\n";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto n = std::to_string(i);
        text.append("[").append(n).append("|").append(list[i].bytes);
        text.append("|").append(n).append("]\r\n");
    }
    text += "\r\n";
    writeFile(path("D.txt"), text);
    {
        InputFile in(path("D.txt"));
        OutputFile out(path("D.rtf"));
        writeRtfDocument(in, out);
        out.publish();
        in.close();
    }
    const std::u32string got = reader.decode(run(reader.command(dir)));
    int wrong = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto n = std::to_string(i);
        const std::u32string open = fromUtf8("[" + n + "|"), close = fromUtf8("|" + n + "]");
        const auto start = got.find(open);
        const auto end = start == std::u32string::npos ? start : got.find(close, start);
        if (end == std::u32string::npos) {
            ++wrong;
            ADD_FAILURE() << reader.name << ": paragraph " << i << " is missing";
            continue;
        }
        const auto paragraph = got.substr(start + open.size(), end - start - open.size());
        const auto want = list[i].expect(reader, list[i].bytes);
        if (paragraph != want) {
            ++wrong;
            ADD_FAILURE() << reader.name << ": paragraph " << i << "\n     got" << hex(paragraph)
                          << "\nexpected" << hex(want);
        }
    }
    EXPECT_EQ(wrong, 0) << reader.name << ": paragraphs wrong of " << list.size();
}

INSTANTIATE_TEST_SUITE_P(, RtfReaders, ::testing::ValuesIn(readers),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orv::test
