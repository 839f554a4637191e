#pragma once

#include "io/byte_files.h"

#include <array>
#include <cstdint>

namespace orv {

// What each byte of the decoded text stands for in Unicode: the decoded
// text is typed on the phonetic Thaana keyboard, so a byte is the US key
// that was pressed, and the character is what that key gives in the Thaana
// layout. TAB, CR and LF stay; a byte no key gives becomes U+FFFD.
extern const std::array<char32_t, 256> unicodeTextTable;

// Writes the whole decoded text file, line ends and all, each byte through
// unicodeTextTable as UTF-8 (no byte order mark), into out, which is
// finished but left for the caller to publish or discard. Returns how many
// bytes became U+FFFD. Throws ConversionError on failure.
std::uint64_t writeUnicodeText(InputFile& decodedText, OutputFile& out);

} // namespace orv
