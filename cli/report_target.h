#pragma once

#include "cli/options.h"
#include "cli/source_list.h"

#include <string>
#include <vector>

namespace orv::cli {

// Why the report may not be written where options.report says, or "" when
// it may. Opening it empties the file, so it must be none of the run's own
// files: not a list of names, a source or an output, whether named the same
// way (after "./" and "//" are left out, and relative names are taken from
// the working folder) or the same file by another name or a link.
std::string reportClash(const Options& options, const std::vector<SourceItem>& items);

} // namespace orv::cli
