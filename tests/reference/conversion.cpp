#include "tests/reference/conversion.h"

#include "convert/convert_document.h"
#include "tests/reference/decoding.h"
#include "tests/reference/documents.h"
#include "writers/unicode_text.h"

namespace orv {

std::map<std::string, std::string> referenceOutputs(const std::string& sourcePath) {
    const std::string text = decodeContent(readSourceContent(sourcePath)) + "\r\n";
    const std::vector<std::string> lines = textLines(text);
    return {{".txt", text}, {".acc", accentDocument(lines)}, {".rtf", rtfDocument(lines)}};
}

UnicodeText referenceUnicodeText(const std::string& decodedText) {
    UnicodeText unicode;
    for (const unsigned char byte : decodedText) {
        const char32_t c = unicodeTextTable[byte];
        unicode.replaced += c == U'\uFFFD' ? 1 : 0;
        std::string& out = unicode.bytes;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return unicode;
}

void writeDocument(DocumentWriter writer, const std::string& textPath,
                   const std::string& outputPath) {
    InputFile text(textPath);
    OutputFile out(outputPath);
    writer(text, out);
    out.publish();
    text.close();
}

void convertDocument(const std::string& folder, const std::string& name, bool accent, bool rtf,
                     bool text, bool openAfter, FrontEnd& frontEnd) {
    const std::string source = sourcePath(folder, name);
    convertDocument({.source = source,
                     .outputBase = source,
                     .accent = accent,
                     .rtf = rtf,
                     .text = text,
                     .openAfter = openAfter},
                    frontEnd);
}

} // namespace orv
