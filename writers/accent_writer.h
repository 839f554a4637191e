#pragma once

#include <string>

namespace orv {

// Writes the Accent tagged document from a decoded text file: the fixed
// header, one paragraph per line after the preamble (each line turned back
// into source order), and the trailer. Throws ConversionError on failure.
void writeAccentDocument(const std::string& decodedTextPath, const std::string& outputPath);

} // namespace orv
