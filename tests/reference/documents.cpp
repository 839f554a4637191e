#include "tests/reference/documents.h"

namespace orv {

std::string accentDocument(const std::vector<std::string>& decodedLines) {
    std::string accent = accentHeader;
    for (std::size_t i = 1; i < decodedLines.size(); ++i)
        accent.append(decodedLines[i].rbegin(), decodedLines[i].rend()).append("</P><P><NL>\r\n");
    return accent + accentTrailer;
}

std::string rtfDocument(const std::vector<std::string>& decodedLines) {
    std::string rtf = rtfHeader;
    for (std::size_t i = 1; i < decodedLines.size(); ++i) {
        // RTF is 7-bit: \, { and } after a backslash, every control byte
        // but TAB and every byte from 128 up as \'hh in lower-case hex.
        for (const char c : decodedLines[i]) {
            const auto b = static_cast<unsigned char>(c);
            if (c == '\\' || c == '{' || c == '}') {
                rtf += '\\';
                rtf += c;
            } else if ((b < 0x20 && c != '\t') || b >= 0x80) {
                rtf += "\\'";
                rtf += "0123456789abcdef"[b >> 4];
                rtf += "0123456789abcdef"[b & 0xF];
            } else {
                rtf += c;
            }
        }
        rtf += "\\par\r\n\r\n";
    }
    return rtf + rtfClosing;
}

} // namespace orv
