#include "cli/batch.h"

#include "convert/convert_document.h"
#include "io/confined_folders.h"
#include "io/conversion_error.h"
#include "io/exact_names.h"
#include "io/held_folders.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orv::cli {

namespace {

// Hands open requests and progress to the batch; the outcome itself is read
// from runConversion's result. The run tells how far it is as a share of its
// work; that share of the source's size is what the batch hears.
class SourceFrontEnd final : public FrontEnd {
public:
    SourceFrontEnd(std::vector<std::string>& toOpen,
                   const std::function<void(std::uint64_t)>& progressed, std::uint64_t size)
        : toOpen_(toOpen), progressed_(progressed), size_(size) {}

    void reportSuccess(const std::string&) override {}
    void reportFailure(const std::string&) override {}
    void openDocument(const std::string& path) override { toOpen_.push_back(path); }
    void progress(std::uint64_t done, std::uint64_t total) override {
        if (total == 0)
            return;
        const auto now = static_cast<std::uint64_t>(static_cast<double>(size_) *
                                                    static_cast<double>(std::min(done, total)) /
                                                    static_cast<double>(total));
        if (now > reported_) {
            progressed_(now - reported_);
            reported_ = now;
        }
    }
    std::uint64_t reported() const { return reported_; }

private:
    std::vector<std::string>& toOpen_;
    const std::function<void(std::uint64_t)>& progressed_;
    std::uint64_t size_;
    std::uint64_t reported_ = 0;
};

bool notOlder(const struct stat& output, const struct stat& source) {
    if (output.st_mtim.tv_sec != source.st_mtim.tv_sec)
        return output.st_mtim.tv_sec > source.st_mtim.tv_sec;
    return output.st_mtim.tv_nsec >= source.st_mtim.tv_nsec;
}

// Creates the folders of path's parent that are missing, as mkdir -p does;
// 0, or the errno with the folder that could not be made in failedFolder.
// Sources come in sorted order, so most share the folder made last: that one
// costs no system call at all.
// Below -o, folders are made without following links (see
// confineOutputsBelow).
int makeParentFolders(const std::string& path, std::string& failedFolder) {
    thread_local std::string lastMade;
    const std::size_t end = path.rfind('/');
    if (end == std::string::npos || std::string_view(path).substr(0, end) == lastMade)
        return 0;
    if (const std::string_view parent = std::string_view(path).substr(0, end); isConfined(parent)) {
        const int fd = openConfinedFolder(parent, true, failedFolder);
        if (fd < 0)
            return errno;
        ::close(fd);
        lastMade.assign(parent);
        return 0;
    }
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (folder.back() == '/' || ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST)
            continue;
        failedFolder = folder;
        return errno;
    }
    lastMade.assign(path, 0, end);
    return 0;
}

// An output counts as done when it is not older than its source and the
// folder holds it under exactly its name: on a file system that ignores
// case, another source's output may answer to it.
// Below -o, it is looked up in its folder reached without links, and must be
// a file there, not a link: one found through a link is not in DIR.
bool outputDone(const std::string& path, const struct stat& source) {
    struct stat output;
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash != 0 &&
        isConfined(std::string_view(path).substr(0, slash))) {
        std::shared_ptr<const OpenFolder> folder;
        try {
            folder = heldFolder(FolderUse::outputs, std::string_view(path).substr(0, slash));
        } catch (const ConversionError&) {
            return false; // the conversion meets the same failure and tells it
        }
        const char* name = path.c_str() + slash + 1;
        return ::fstatat(folder->fd(), name, &output, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(output.st_mode) && notOlder(output, source) &&
               foundNameHeld(folder->fd(), name) == NameHeld::exactly;
    }
    return ::stat(path.c_str(), &output) == 0 && notOlder(output, source) &&
           foundNameHeld(path) == NameHeld::exactly;
}

// For a source whose output name an earlier source's differs from only in
// case: the failure that it is taken, where the output folder ignores case.
Failure caseTwinFailure(const SourceItem& item) {
    const std::size_t slash = item.outputBase.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : item.outputBase.substr(0, slash);
    try {
        const int ignores = folderIgnoresCase(folder);
        if (ignores < 0)
            return {folder, std::strerror(errno), "", ""};
        if (ignores == 0)
            return {};
    } catch (const ConversionError& error) {
        return {error.path(), error.reason(), "", ""};
    }
    return {item.source, "", item.outputBase, item.caseTwinOf};
}

} // namespace

std::vector<std::string> selectedOutputs(const Options& options, const std::string& outputBase) {
    auto [text, accent, rtf] = outputPaths(outputBase);
    std::vector<std::string> outputs;
    if (options.accent)
        outputs.push_back(std::move(accent));
    if (options.rtf)
        outputs.push_back(std::move(rtf));
    if (options.text)
        outputs.push_back(std::move(text));
    return outputs;
}

bool upToDate(const Options& options, const SourceItem& item, std::uint64_t& bytes) {
    struct stat source;
    if (::stat(item.source.c_str(), &source) != 0)
        return false;
    bytes = static_cast<std::uint64_t>(source.st_size);
    for (const std::string& path : selectedOutputs(options, item.outputBase))
        if (!outputDone(path, source))
            return false;
    return true;
}

SourceResult convertSource(const Options& options, const SourceItem& item,
                           std::vector<std::string>& toOpen,
                           const std::function<void(std::uint64_t)>& progressed) {
    using Clock = std::chrono::steady_clock;
    // The time taken is for the report only; a batch of small sources
    // without one need not read the clock twice a file.
    const bool timed = !options.report.empty();
    const Clock::time_point start = timed ? Clock::now() : Clock::time_point{};
    SourceResult result;
    const auto finish = [&](SourceResult::Status status) {
        result.status = status;
        if (timed)
            result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return result;
    };
    if (item.failure.any()) {
        result.failure = item.failure;
        return finish(SourceResult::Status::Failed);
    }
    if (options.update && upToDate(options, item, result.bytes)) {
        progressed(result.bytes);
        return finish(SourceResult::Status::Skipped);
    }
    if (!options.outputDir.empty()) {
        std::string folder;
        if (const int error = makeParentFolders(item.outputBase, folder); error != 0) {
            result.failure = {folder, std::strerror(error), "", ""};
            return finish(SourceResult::Status::Failed);
        }
    }
    if (!item.caseTwinOf.empty()) {
        if (Failure taken = caseTwinFailure(item); taken.any()) {
            result.failure = std::move(taken);
            return finish(SourceResult::Status::Failed);
        }
    }
    SourceFrontEnd frontEnd(toOpen, progressed, item.size);
    ConversionOutcome outcome = runConversion(
        {item.source, item.outputBase, options.accent, options.rtf, options.text, options.open},
        frontEnd);
    if (outcome.sourceBytes > frontEnd.reported())
        progressed(outcome.sourceBytes - frontEnd.reported());
    result.outputs = std::move(outcome.outputs);
    result.bytes = outcome.sourceBytes;
    if (outcome.status == ConversionOutcome::Status::Converted)
        return finish(SourceResult::Status::Converted);
    result.failure = {outcome.errorPath, outcome.errorReason, "", ""};
    return finish(SourceResult::Status::Failed);
}

} // namespace orv::cli
