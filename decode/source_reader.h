#pragma once

#include "io/byte_files.h"

#include <string>

namespace orv {

// The source document's bytes with its line terminators taken out: every CR
// goes, and so does an LF straight after a CR; a lone LF is data. Throws
// ConversionError when the file cannot be read or holds no bytes at all.
std::string readSourceContent(const std::string& sourcePath);
// The same from a source already open; closing it is the caller's.
std::string readSourceContent(InputFile& source);

} // namespace orv
