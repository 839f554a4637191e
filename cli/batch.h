#pragma once

#include "cli/options.h"
#include "cli/source_list.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orv::cli {

// What became of one source.
struct SourceResult {
    enum class Status { Converted, Failed, Skipped };
    Status status = Status::Failed;
    Failure failure;
    std::vector<std::string> outputs; // written and kept
    std::uint64_t bytes = 0;          // the source's size, when known
    double seconds = 0;               // the time taken, measured only for the report
};

// The outputs' names for outputBase that options select, in the order written.
std::vector<std::string> selectedOutputs(const Options& options, const std::string& outputBase);

// True when every selected output of item exists and is not older than its
// source; bytes receives the source's size.
bool upToDate(const Options& options, const SourceItem& item, std::uint64_t& bytes);

// Converts one source as options ask: skipped when up to date under -u, its
// output folders created under -o. Documents to open are passed to
// toOpen(path) rather than opened, so that they open in the order of the
// sources whatever the number of threads; progressed(bytes) hears of every
// source byte done. Safe to run for several sources at once.
SourceResult convertSource(const Options& options, const SourceItem& item,
                           std::vector<std::string>& toOpen,
                           const std::function<void(std::uint64_t)>& progressed);

} // namespace orv::cli
