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
        for (const char c : decodedLines[i]) {
            if (c == '\\' || c == '{' || c == '}')
                rtf += '\\';
            rtf += c;
        }
        rtf += "\\par\r\n\r\n";
    }
    return rtf + rtfClosing;
}

} // namespace orv
