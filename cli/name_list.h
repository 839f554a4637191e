#pragma once

#include <string>
#include <vector>

namespace orv::cli {

// Reads the names listed in the file at path ("-": standard input), one per
// line, or separated by NUL bytes when nullSeparated, as find -print0 writes
// them. Empty names are skipped. Returns 0, or the errno that stopped the
// reading; the names read before it are kept.
int readNameList(const std::string& path, bool nullSeparated, std::vector<std::string>& names);

} // namespace orv::cli
