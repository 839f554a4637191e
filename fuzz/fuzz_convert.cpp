// libFuzzer target: runs the source decoder and both writers on arbitrary
// bytes, and traps when their output differs from the plain statement of the
// conversion or an invariant of it does not hold.

#include "decode/source_decoder.h"
#include "io/conversion_error.h"
#include "simd/char_map.h"
#include "tests/reference/conversion.h"
#include "tests/reference/decoding.h"
#include "tests/reference/documents.h"
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

void fuzzOne(std::string_view bytes) {
    const std::string source = path("FUZZ.ORV");
    writeFile(source, bytes);
    const std::string text = path("FUZZ.ORV.txt");
    std::string content;
    try {
        content = orv::readSourceContent(source);
        check(!bytes.empty());
    } catch (const orv::ConversionError& failure) {
        check(bytes.empty() && failure.errorNumber() == ENODATA);
        try {
            orv::decodeSourceToTextFile(source, text);
            check(false);
        } catch (const orv::ConversionError& failure) {
            check(failure.errorNumber() == ENODATA);
        }
        return;
    }

    // The content holds no CR, so the decoded text's CRs are its line ends.
    const std::string decoded = orv::decodeContent(content);
    const std::size_t breaks = countBreaks(content);
    check(decoded.ends_with("\r\n"));
    check(countByte(decoded, '\r') == breaks + 1);
    check(decoded == decodeByWalk(content));

    // The streaming decoder, straight from the raw bytes.
    check(orv::decodeSourceToTextFile(source, text) == bytes.size());
    check(readFile(text) == decoded + "\r\n");

    const std::vector<std::string> decodedLines = orv::textLines(decoded + "\r\n");
    check(decodedLines.size() == breaks + 2);

    const std::string accent = path("FUZZ.ORV.acc");
    orv::writeDocument(orv::writeAccentDocument, text, accent);
    check(readFile(accent) == orv::accentDocument(decodedLines));

    const std::string rtf = path("FUZZ.ORV.rtf");
    orv::writeDocument(orv::writeRtfDocument, text, rtf);
    const std::string rtfBytes = readFile(rtf);
    check(rtfBytes == orv::rtfDocument(decodedLines));
    checkRtfBraces(rtfBytes);
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
