#include "writers/rtf_writer.h"

#include "decode/decoded_text_file.h"
#include "io/byte_files.h"

namespace orv {
namespace {

constexpr std::string_view headerLine1 =
    R"({\rtf1\fbidis\ansi\deff0\deflang1033\ltrdoc{\fonttbl{\f0\fnil\fprq2\fcharset0 A_Randhoo;}{\f1\fnil\fprq2\fcharset2 Arial;}})";
constexpr std::string_view headerLine2 =
    R"(\viewkind4\uc1\pard\rtlpar\qr\tx709\tx1417\tx2126\tx2835\tx3543\tx4252\tx4961\tx5669\tx6378\tx7087\tx7795\tx8504\lang1037\f0\fs30)";
// Each paragraph ends "\par" CR LF, and the whole-line write adds a second CR LF.
constexpr std::string_view paragraphEnd = "\\par\r\n";
constexpr std::string_view closingLine1 = R"(\lang1033\f1\par)";
constexpr std::string_view closingLine2 = "}";

} // namespace

void appendRtfText(std::string_view text, std::string& out) {
    // Specials are rare: copy the runs between them whole.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == '{' || c == '}') {
            out.append(text, run, i - run);
            out.push_back('\\');
            run = i;
        }
    }
    out.append(text, run);
}

void writeRtfDocument(const std::string& decodedTextPath, const std::string& outputPath) {
    auto lines = openDecodedLines(decodedTextPath);
    OutputFile out(outputPath);
    out.writeLine(headerLine1);
    out.writeLine(headerLine2);

    lines.readLine(); // the preamble never reaches the document
    std::string paragraph;
    while (!lines.atEnd()) {
        paragraph.clear();
        appendRtfText(lines.readLine(), paragraph);
        paragraph.append(paragraphEnd);
        out.writeLine(paragraph);
    }
    out.writeLine(closingLine1);
    out.writeLine(closingLine2);
    out.close();
    lines.close();
}

} // namespace orv
