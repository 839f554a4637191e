#pragma once

#include <string>
#include <string_view>

namespace orv {

// Writes the right-to-left RTF document from a decoded text file: two header
// lines, one paragraph per line after the preamble, and the closing lines.
// Throws ConversionError on failure.
void writeRtfDocument(const std::string& decodedTextPath, const std::string& outputPath);

// Body text as RTF shows it literally: \, { and } escaped, every other byte
// (TAB and 128 to 255 included) as it is. Appends to out.
void appendRtfText(std::string_view text, std::string& out);

} // namespace orv
