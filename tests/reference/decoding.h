#pragma once

// Source decoding stated plainly, whole in memory and a byte at a time.

#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The lines of bytes as both readers split them: a line ends at CR or at
// CR LF and the terminator is not part of it; a lone LF is an ordinary byte;
// the last line may lack a terminator. No bytes, no lines.
std::vector<std::string> textLines(std::string_view bytes);

// Every byte of path. Throws ConversionError naming it.
std::string readWholeFile(const std::string& path);

// The source's lines joined. A source of no bytes has no line to read:
// ConversionError (ENODATA).
std::string readSourceContent(const std::string& sourcePath);

// Each segment between break codes translated through charMap and
// reversed, fillers dropped; the segment before the first break code comes
// first, and each ends with CR LF (a TAB first when a 252 opened it).
std::string decodeContent(std::string_view content);

} // namespace orv
