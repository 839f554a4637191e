#pragma once

#include "io/byte_files.h"

namespace orv {

// Writes the right-to-left RTF document from a decoded text file already
// open: two header lines, one paragraph per line after the preamble in 7
// bits (\, { and } after a backslash, every control byte but TAB and every
// byte from 128 up as \'hh), and the closing lines, into out, which is
// finished but left for the caller to publish or discard.
// Throws ConversionError on failure.
void writeRtfDocument(InputFile& decodedText, OutputFile& out);

} // namespace orv
