#pragma once

#include "convert/front_end.h"
#include "io/byte_files.h"

#include <cstdint>
#include <map>
#include <string>

namespace orv {

// What a conversion of sourcePath writes, by extension (".txt", ".acc",
// ".rtf"), made from the source's bytes the plain way. Throws
// ConversionError when the source cannot be read or is empty.
std::map<std::string, std::string> referenceOutputs(const std::string& sourcePath);

// The Unicode text of a decoded text, each byte through unicodeTextTable as
// UTF-8, and how many bytes became U+FFFD.
struct UnicodeText {
    std::string bytes;
    std::uint64_t replaced = 0;
};
UnicodeText referenceUnicodeText(const std::string& decodedText);

// One of the shipped writers (writeAccentDocument, writeRtfDocument) run
// from the decoded text file at textPath to a new file at outputPath.
using DocumentWriter = void (*)(InputFile&, OutputFile&);
void writeDocument(DocumentWriter writer, const std::string& textPath,
                   const std::string& outputPath);

// convertDocument of the job for folder/name with its outputs beside it, as
// the window asks for it.
void convertDocument(const std::string& folder, const std::string& name, bool accent, bool rtf,
                     bool text, bool openAfter, FrontEnd& frontEnd);

} // namespace orv
