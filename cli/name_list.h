#pragma once

#include <functional>
#include <string>

namespace orv::cli {

// Reads the names listed in the file at path ("-": standard input), one per
// line, or separated by NUL bytes when nullSeparated, as find -print0 writes
// them, and passes each to named as soon as it is whole: a pipe's names are
// taken as they come. Empty names are skipped. Returns 0, or the errno that
// stopped the reading; the names read before it have been passed on.
int readNameList(const std::string& path, bool nullSeparated,
                 const std::function<void(const std::string&)>& named);

} // namespace orv::cli
