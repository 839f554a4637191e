#pragma once

#include "cli/options.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv::cli {

// Why a source failed: the path concerned and the platform's description,
// or, for an output name that an earlier source of the run already uses,
// that output name and the earlier source.
struct Failure {
    std::string path;
    std::string reason;
    std::string output;  // the output name in dispute
    std::string earlier; // the source that has it

    bool any() const { return !path.empty(); }
    // "path: reason" with every name as the terminal should show it.
    std::string shown() const;
    // The same with the names' bytes as they are, for the report.
    std::string text() const;
};

// One source of the batch: what is read, where its outputs go, and a failure
// known before it is converted (a folder that could not be read, an output
// name already taken).
struct SourceItem {
    std::string source;
    std::string outputBase;
    Failure failure;
    std::uint64_t size = 0; // when known beforehand, for the progress line
    // An earlier source whose output name differs from this one's only in
    // the case of its letters: on a file system that ignores case, it has the
    // name, and this source fails.
    std::string caseTwinOf = {};
};

// Every source the options name, in order: the FILE operands, then the names
// read from each --files-from list. With -R a folder stands for the ORV
// documents below it. With -o, outputs go under that folder: a FILE's
// straight in, a found document's at its path below the folder it was found in.
std::vector<SourceItem> listSources(const Options& options);

} // namespace orv::cli
