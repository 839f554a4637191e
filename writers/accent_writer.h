#pragma once

#include "io/byte_files.h"

#include <string>

namespace orv {

// Writes the Accent tagged document from a decoded text file: the fixed
// header, one paragraph per line after the preamble (each line turned back
// into source order), and the trailer. Throws ConversionError on failure.
void writeAccentDocument(const std::string& decodedTextPath, const std::string& outputPath);
// The same from a decoded text file already open, into out, which is
// finished but left for the caller to publish or discard.
void writeAccentDocument(InputFile& decodedText, OutputFile& out);

} // namespace orv
