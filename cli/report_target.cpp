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

std::string reportClash(const Options& options, const std::vector<SourceItem>& items) {
    if (options.report.empty() || options.report == "-")
        return "";
    std::string here;
    if (char* folder = ::getcwd(nullptr, 0)) {
        here = folder;
        std::free(folder);
    }
    const auto key = [&](const std::string& path) {
        return pathKey(path.starts_with('/') ? path : joinPath(here, path));
    };
    const std::string reportKey = key(options.report);
    // Only a file that exists can be another's by a second name.
    struct stat report {};
    const bool exists = ::stat(options.report.c_str(), &report) == 0;
    const auto same = [&](const std::string& path) {
        struct stat status;
        return key(path) == reportKey ||
               (exists && ::stat(path.c_str(), &status) == 0 && status.st_dev == report.st_dev &&
                status.st_ino == report.st_ino);
    };

    const std::string clash = "report " + shown(options.report) + " would overwrite ";
    for (const std::string& list : options.filesFrom)
        if (list != "-" && same(list))
            return clash + "the list " + shown(list);
    for (const SourceItem& item : items) {
        if (same(item.source))
            return clash + "the source " + shown(item.source);
        for (const std::string& output : selectedOutputs(options, item.outputBase))
            if (same(output))
                return clash + "the output " + shown(output) + " of " + shown(item.source);
    }
    return "";
}

} // namespace orv::cli
