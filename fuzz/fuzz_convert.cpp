// libFuzzer target: runs the source reader, the decoder, the decoded text
// file and both writers on arbitrary bytes, and traps when an invariant of
// their output does not hold.

#include "decode/char_map.h"
#include "decode/decoded_text_file.h"
#include "decode/decoder.h"
#include "decode/source_decoder.h"
#include "decode/source_reader.h"
#include "io/conversion_error.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

void check(bool holds) {
    if (!holds)
        __builtin_trap();
}

// One directory per fuzzing process, so parallel jobs never share files.
fs::path workDir;

void removeWorkDir() {
    std::error_code ignored;
    fs::remove_all(workDir, ignored);
}

std::string path(const char* name) {
    return (workDir / name).string();
}

std::string readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    check(out.good());
}

std::size_t countBreaks(std::string_view bytes) {
    return static_cast<std::size_t>(std::count_if(bytes.begin(), bytes.end(), [](char c) {
        return orv::isBreakCode(static_cast<unsigned char>(c));
    }));
}

std::size_t countByte(std::string_view bytes, char byte) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), byte));
}

// The reader's rule, plainly: every CR goes, and so does an LF right after one.
std::string withoutTerminators(std::string_view bytes) {
    std::string content;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && i != 0 && bytes[i - 1] == '\r')
            continue;
        if (bytes[i] != '\r')
            content.push_back(bytes[i]);
    }
    return content;
}

// The decoder's walk as first described: reverse the whole content, drop
// the fillers, and put each finished line in front of what came before.
std::string decodeByWalk(std::string_view content) {
    std::string reversed(content.rbegin(), content.rend());
    std::erase(reversed, static_cast<char>(orv::fillerByte));
    std::string line;
    std::string out;
    for (const char c : reversed) {
        const auto b = static_cast<unsigned char>(c);
        if (orv::charMap[b] != orv::noTranslation) {
            line.push_back(static_cast<char>(orv::charMap[b]));
        } else if (orv::isBreakCode(b)) {
            out = line + (b == orv::tabBreakCode ? "\t\r\n" : "\r\n") + out;
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    return line + "\r\n" + out;
}

// Splits text that ends in CR LF at each CR LF.
std::vector<std::string_view> crLfLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        check(end != std::string_view::npos);
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return lines;
}

// Every unescaped { has its }, and the document group opened by the first
// byte closes only at the last }: escaped text can never end it early.
void checkRtfBraces(std::string_view rtf) {
    check(!rtf.empty() && rtf.front() == '{');
    long depth = 0;
    std::size_t closedAt = std::string_view::npos;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i; // \{ \} and \\ are text, not structure
        } else if (rtf[i] == '{') {
            ++depth;
        } else if (rtf[i] == '}') {
            check(--depth >= 0);
            if (depth == 0) {
                check(closedAt == std::string_view::npos);
                closedAt = i;
            }
        }
    }
    check(depth == 0);
    check(rtf.substr(closedAt) == "}\r\n");
}

void checkAccent(std::string_view accent, const std::vector<std::string_view>& decodedLines) {
    const std::vector<std::string_view> lines = crLfLines(accent);
    constexpr std::size_t headerLines = 14;
    // Body: every decoded line after the preamble, the final empty one included.
    check(lines.size() == headerLines + decodedLines.size() + 1);
    check(lines[0].starts_with("<VER Accent Software International"));
    check(lines[headerLines - 1] == "<R><NL>");
    for (std::size_t i = 1; i <= decodedLines.size(); ++i) {
        const std::string_view decoded = i < decodedLines.size() ? decodedLines[i] : "";
        const std::string sourceOrder(decoded.rbegin(), decoded.rend());
        check(lines[headerLines + i - 1] == sourceOrder + "</P><P><NL>");
    }
    check(lines.back() == "</P></R></SECT>");
}

void fuzzOne(std::string_view bytes) {
    // The decoder on raw bytes: every CR of the input passes through untouched,
    // so the decoded CRs are its k + 1 line ends plus the input's own.
    const std::string rawDecoded = orv::decodeContent(bytes);
    check(rawDecoded.ends_with("\r\n"));
    check(countByte(rawDecoded, '\r') == countBreaks(bytes) + 1 + countByte(bytes, '\r'));

    // The source reader on the same bytes as a file.
    const std::string source = path("FUZZ.ORV");
    writeFile(source, bytes);
    std::string content;
    try {
        content = orv::readSourceContent(source);
        check(!bytes.empty());
    } catch (const orv::ConversionError& failure) {
        check(bytes.empty() && failure.errorNumber() == ENODATA);
        return;
    }
    check(content == withoutTerminators(bytes));

    // The content holds no CR, so the decoded text's CRs are its line ends.
    const std::string decoded = orv::decodeContent(content);
    const std::size_t breaks = countBreaks(content);
    check(decoded.ends_with("\r\n"));
    check(countByte(decoded, '\r') == breaks + 1);
    check(decoded == decodeByWalk(content));

    const std::string text = path("FUZZ.ORV.txt");
    orv::decodeToTextFile(content, text);
    check(readFile(text) == decoded + "\r\n");
    // The streaming decoder, straight from the raw bytes, writes the same file.
    const std::string streamed = path("FUZZ.ORV.streamed.txt");
    check(orv::decodeSourceToTextFile(source, streamed) == bytes.size());
    check(readFile(streamed) == decoded + "\r\n");

    const std::vector<std::string_view> decodedLines = crLfLines(decoded);
    check(decodedLines.size() == breaks + 1);

    const std::string accent = path("FUZZ.ORV.acc");
    orv::writeAccentDocument(text, accent);
    checkAccent(readFile(accent), decodedLines);

    const std::string rtf = path("FUZZ.ORV.rtf");
    orv::writeRtfDocument(text, rtf);
    checkRtfBraces(readFile(rtf));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "orv-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror(pattern.c_str());
        std::abort();
    }
    workDir = pattern;
    std::atexit(removeWorkDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzOne({reinterpret_cast<const char*>(data), size});
    return 0;
}
