#include "tests/reference/decoding.h"

#include "io/byte_files.h"
#include "io/conversion_error.h"
#include "simd/char_map.h"

#include <cerrno>
#include <utility>

namespace orv {

std::vector<std::string> textLines(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const std::size_t cr = bytes.find('\r');
        lines.emplace_back(bytes.substr(0, cr));
        if (cr == bytes.npos)
            break;
        bytes.remove_prefix(cr + 1);
        if (bytes.starts_with('\n'))
            bytes.remove_prefix(1);
    }
    return lines;
}

std::string readWholeFile(const std::string& path) {
    InputFile file(path);
    std::string bytes;
    char block[4096];
    while (const std::size_t got = file.read(block, sizeof block))
        bytes.append(block, got);
    file.close();
    return bytes;
}

std::string readSourceContent(const std::string& sourcePath) {
    const std::vector<std::string> lines = textLines(readWholeFile(sourcePath));
    if (lines.empty())
        throw ConversionError(sourcePath, ENODATA);
    std::string content;
    for (const std::string& line : lines)
        content += line;
    return content;
}

std::string decodeContent(std::string_view content) {
    std::string decoded, segment;
    std::string_view ending = "\r\n"; // of the segment being gathered
    const auto finish = [&](std::string_view next) {
        decoded.append(segment.rbegin(), segment.rend()).append(std::exchange(ending, next));
        segment.clear();
    };
    for (const char c : content) {
        const auto b = static_cast<unsigned char>(c);
        if (isBreakCode(b))
            finish(b == tabBreakCode ? "\t\r\n" : "\r\n");
        else if (b != fillerByte)
            segment += charMap[b] == noTranslation ? c : static_cast<char>(charMap[b]);
    }
    finish({});
    return decoded;
}

} // namespace orv
