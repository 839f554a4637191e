#include "writers/rtf_writer.h"

#include "io/background_writer.h"
#include "io/byte_files.h"
#include "writers/line_copies.h"

namespace orv {
namespace {

constexpr std::string_view headerLine1 =
    R"({\rtf1\fbidis\ansi\deff0\deflang1033\ltrdoc{\fonttbl{\f0\fnil\fprq2\fcharset0 A_Randhoo;}{\f1\fnil\fprq2\fcharset2 Arial;}})";
constexpr std::string_view headerLine2 =
    R"(\viewkind4\uc1\pard\rtlpar\qr\tx709\tx1417\tx2126\tx2835\tx3543\tx4252\tx4961\tx5669\tx6378\tx7087\tx7795\tx8504\lang1037\f0\fs30)";
// Each paragraph ends "\par" CR LF, and the line's own CR LF follows.
constexpr std::string_view paragraphEnd = "\\par\r\n\r\n";
constexpr std::string_view closingLines = "\\lang1033\\f1\\par\r\n}\r\n";

} // namespace

void appendRtfText(std::string_view text, std::string& out) {
    constexpr char digits[] = "0123456789abcdef";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            out.push_back('\\');
            out.push_back(c);
        } else if ((b < 0x20 && c != '\t') || b >= 0x80) {
            out.append("\\'");
            out.push_back(digits[b >> 4]);
            out.push_back(digits[b & 0xF]);
        } else {
            out.push_back(c);
        }
    }
}

void writeRtfDocument(const std::string& decodedTextPath, const std::string& outputPath) {
    InputFile text(decodedTextPath);
    OutputFile file(outputPath);
    writeRtfDocument(text, file);
    file.publish();
    text.close();
}

void writeRtfDocument(InputFile& text, OutputFile& file) {
    {
        BackgroundWriter out(file);
        out.write(headerLine1);
        out.write(lineEnd);
        out.write(headerLine2);
        out.write(lineEnd);
        writeParagraphs(text, out, LineForm::rtfEscaped, paragraphEnd);
        out.write(closingLines);
        out.finish();
    }
    file.finish();
}

} // namespace orv
