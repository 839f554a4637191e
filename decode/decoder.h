#pragma once

#include "io/byte_files.h"

#include <string>
#include <string_view>

namespace orv {

// The decoded text of a source's content: one line per segment between
// break codes, each translated through charMap and reversed, every line
// ended by CR LF (a TAB first after a 252). Never fails.
std::string decodeContent(std::string_view content);

// The same decoded text, handed to sink piece by piece instead of being
// held whole; the pieces joined equal decodeContent(content).
void decodeInto(std::string_view content, ByteSink& sink);

} // namespace orv
