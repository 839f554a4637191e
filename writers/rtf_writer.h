#pragma once

#include "io/byte_files.h"

#include <string>
#include <string_view>

namespace orv {

// Writes the right-to-left RTF document from a decoded text file: two header
// lines, one paragraph per line after the preamble, and the closing lines.
// Throws ConversionError on failure.
void writeRtfDocument(const std::string& decodedTextPath, const std::string& outputPath);
// The same from a decoded text file already open, into out, which is
// finished but left for the caller to publish or discard.
void writeRtfDocument(InputFile& decodedText, OutputFile& out);

// Body text as RTF shows it literally, in 7 bits: \, { and } after a
// backslash, every control byte but TAB and every byte from 128 up as \'hh
// (lower-case hex), every other byte as it is. Appends to out.
void appendRtfText(std::string_view text, std::string& out);

} // namespace orv
