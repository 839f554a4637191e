#pragma once

#include "io/byte_files.h"

namespace orv {

// Writes the Accent tagged document from a decoded text file already open:
// the fixed header, one paragraph per line after the preamble (each line
// turned back into source order), and the trailer, into out, which is
// finished but left for the caller to publish or discard. Throws
// ConversionError on failure.
void writeAccentDocument(InputFile& decodedText, OutputFile& out);

} // namespace orv
