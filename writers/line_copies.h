#pragma once

#include "decode/decoded_line_blocks.h"
#include "io/background_writer.h"
#include "io/byte_files.h"
#include "simd/byte_kernels.h"

#include <string_view>

namespace orv {

// The body both documents share: every line of the decoded text after the
// first (the preamble, which never reaches a document but must be there),
// each put in in form and followed by paragraphEnd. A line longer than a
// block is read again from the decoded text file in pieces (back to front
// for the reversal), so no line is ever held whole.
void writeParagraphs(InputFile& text, BackgroundWriter& out, LineForm form,
                     std::string_view paragraphEnd);

} // namespace orv
