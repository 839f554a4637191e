#pragma once

#include "cli/options.h"
#include "cli/source_list.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace orv::cli {

// Opening the report empties the file, so it must be none of the run's own
// files: not a list of names, a source or an output, whether named the same
// way (after "./" and "//" are left out, and relative names are taken from
// the working folder) or the same file by another name or a link.
class ReportGuard {
public:
    explicit ReportGuard(const Options& options);

    // Call once the report is open: from then on, another name of it is known
    // by the file it names.
    void reportOpened();

    // Why the report may not be written where options.report says, or "" when
    // it may, for the lists and the sources known before the run.
    std::string clash(const std::vector<SourceItem>& items) const;
    // For a source that comes once the report is open: the failure of a source
    // that is the report, or whose output is, or none.
    Failure failure(const SourceItem& item) const;

private:
    bool same(const std::string& path) const;
    std::string key(const std::string& path) const;

    const Options& options_;
    bool active_ = false;
    std::string here_, reportKey_;
    bool exists_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

} // namespace orv::cli
