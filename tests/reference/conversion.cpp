#include "tests/reference/conversion.h"

#include "convert/convert_document.h"
#include "tests/reference/decoding.h"
#include "tests/reference/documents.h"

namespace orv {

std::map<std::string, std::string> referenceOutputs(const std::string& sourcePath) {
    const std::string text = decodeContent(readSourceContent(sourcePath)) + "\r\n";
    const std::vector<std::string> lines = textLines(text);
    return {{".txt", text}, {".acc", accentDocument(lines)}, {".rtf", rtfDocument(lines)}};
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
    convertDocument({source, source, accent, rtf, text, openAfter}, frontEnd);
}

} // namespace orv
