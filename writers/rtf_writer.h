#pragma once

#include "io/byte_files.h"

namespace orv {

// Writes the right-to-left RTF document from a decoded text file already
// open: two header lines, one paragraph per line after the preamble (\, {
// and } escaped, every other byte as it is), and the closing lines, into
// out, which is finished but left for the caller to publish or discard.
// Throws ConversionError on failure.
void writeRtfDocument(InputFile& decodedText, OutputFile& out);

} // namespace orv
