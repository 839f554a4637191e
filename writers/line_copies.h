#pragma once

#include "decode/decoded_line_blocks.h"
#include "io/background_writer.h"
#include "io/byte_files.h"

#include <string_view>

namespace orv {

// How the writers put one decoded line into their output, straight into the
// output's block: as it is but RTF-escaped, or back to front. A line longer
// than a block is read again from the decoded text file in pieces (back to
// front for the reversal), so no line is ever held whole.
void writeRtfEscaped(const DecodedLineBlocks::Line& line, InputFile& text, BackgroundWriter& out);
void writeReversed(const DecodedLineBlocks::Line& line, InputFile& text, BackgroundWriter& out);

// The body both documents share: every line of the decoded text after the
// first (the preamble, which never reaches a document but must be there),
// each put in by writeLine and followed by paragraphEnd.
using LineWriter = void (*)(const DecodedLineBlocks::Line&, InputFile&, BackgroundWriter&);
void writeParagraphs(InputFile& text, BackgroundWriter& out, LineWriter writeLine,
                     std::string_view paragraphEnd);

} // namespace orv
