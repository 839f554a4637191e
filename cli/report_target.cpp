#include "cli/report_target.h"

#include "cli/batch.h"
#include "cli/quoted_name.h"
#include "cli/tree_walk.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::cli {

namespace {

std::string shown(const std::string& name) {
    return needsQuoting(name) ? quotedName(name) : "'" + name + "'";
}

} // namespace

ReportGuard::ReportGuard(const Options& options)
    : options_(options), active_(!options.report.empty() && options.report != "-") {
    if (!active_)
        return;
    if (char* folder = ::getcwd(nullptr, 0)) {
        here_ = folder;
        std::free(folder);
    }
    reportKey_ = key(options.report);
    reportOpened();
}

void ReportGuard::reportOpened() {
    // Only a file that exists can be another's by a second name.
    struct stat report {};
    exists_ = active_ && ::stat(options_.report.c_str(), &report) == 0;
    device_ = report.st_dev;
    inode_ = report.st_ino;
}

std::string ReportGuard::key(const std::string& path) const {
    return pathKey(path.starts_with('/') ? path : joinPath(here_, path));
}

bool ReportGuard::same(const std::string& path) const {
    struct stat status;
    return key(path) == reportKey_ || (exists_ && ::stat(path.c_str(), &status) == 0 &&
                                       status.st_dev == device_ && status.st_ino == inode_);
}

std::string ReportGuard::clash(const std::vector<SourceItem>& items) const {
    if (!active_)
        return "";
    const std::string clash = "report " + shown(options_.report) + " would overwrite ";
    for (const std::string& list : options_.filesFrom)
        if (list != "-" && same(list))
            return clash + "the list " + shown(list);
    for (const SourceItem& item : items) {
        if (same(item.source))
            return clash + "the source " + shown(item.source);
        for (const std::string& output : selectedOutputs(options_, item.outputBase))
            if (same(output))
                return clash + "the output " + shown(output) + " of " + shown(item.source);
    }
    return "";
}

Failure ReportGuard::failure(const SourceItem& item) const {
    static constexpr const char* reason = "is the report of this run";
    if (!active_)
        return {};
    if (same(item.source))
        return Failure::withReason(item.source, reason);
    for (const std::string& output : selectedOutputs(options_, item.outputBase))
        if (same(output))
            return Failure::withReason(output, reason);
    return {};
}

} // namespace orv::cli
