#include "cli/batch.h"

#include "convert/convert_document.h"
#include "io/byte_files.h"
#include "io/confined_folders.h"
#include "io/conversion_error.h"
#include "io/durable_outputs.h"
#include "io/exact_names.h"
#include "io/held_folders.h"
#include "io/temporary_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace orv::cli {

namespace {

// Hands open requests and progress to the batch; the outcome itself is read
// from convertDocument's result. The run tells how far it is as a share of its
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

// The bytes every output of path's kind (.txt, .acc, .rtf) ends with.
std::string_view endingOf(const std::string& path) {
    static constexpr std::pair<std::string_view, std::string_view> endings[] = {
        // The decoded text always ends with an empty line, and so does the
        // Unicode text (.utf8.txt), whose line ends are the same bytes.
        {".txt", "\r\n\r\n"},
        {".acc", "</P></R></SECT>\r\n"},
        {".rtf", "\\par\r\n}\r\n"},
    };
    std::string_view ending;
    for (const auto& [suffix, end] : endings)
        if (path.ends_with(suffix))
            ending = end;
    return ending;
}

// Whether the file open on fd is a regular file that holds a whole output
// of path's kind, and, given a source, is not older than it. Closes fd.
bool completeAndNew(int fd, const std::string& path, const struct stat* source) {
    if (fd < 0)
        return false;
    const std::string_view ending = endingOf(path);
    struct stat info {};
    char tail[32];
    const bool complete =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        (source == nullptr || notOlder(info, *source)) &&
        static_cast<std::uint64_t>(info.st_size) >= ending.size() &&
        ::pread(fd, tail, ending.size(), info.st_size - static_cast<off_t>(ending.size())) ==
            static_cast<ssize_t>(ending.size()) &&
        std::string_view(tail, ending.size()) == ending;
    ::close(fd);
    return complete;
}

constexpr int readFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// An output counts as done when it is complete (see outputComplete), not
// older than its source, and the folder holds it under exactly its name: on
// a file system that ignores case, another source's output may answer to
// it. All that from one open of the output.
// Below -o, it is looked up in its folder reached without links, and must be
// a file there, not a link: one found through a link is not in DIR.
bool outputDone(const std::string& path, const struct stat& source) {
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
        return completeAndNew(::openat(folder->fd(), name, readFlags | O_NOFOLLOW), path,
                              &source) &&
               foundNameHeld(folder->fd(), name) == NameHeld::exactly;
    }
    return completeAndNew(::open(path.c_str(), readFlags), path, &source) &&
           foundNameHeld(path) == NameHeld::exactly;
}

// The folder that holds path, or else the nearest folder above it that
// exists: where the run would make the missing ones.
std::string nearestFolder(const std::string& path) {
    std::string folder = path;
    struct stat status;
    do {
        const std::size_t slash = folder.rfind('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    } while (folder != "." && folder != "/" && ::stat(folder.c_str(), &status) != 0);
    return folder;
}

// For a source whose output name an earlier source's differs from only in
// case: the failure that it is taken, where the output folder ignores case.
// Asked of the nearest folder there is, before any is made: a twin made
// first would give the earlier source's folder its own letters.
Failure caseTwinFailure(const Options& options, const SourceItem& item) {
    const std::string folder = nearestFolder(item.outputBase);
    try {
        const int ignores = folderIgnoresCase(folder);
        if (ignores < 0)
            return Failure::ofError(folder, errno);
        if (ignores == 0)
            return {};
    } catch (const ConversionError& error) {
        return Failure::of(error.failure());
    }
    return Failure::nameTaken(item.source, firstOutput(options, item.outputBase), item.caseTwinOf);
}

} // namespace

std::vector<std::string> selectedOutputs(const Options& options, const std::string& outputBase) {
    auto [text, accent, rtf, unicodeText] = outputPaths(outputBase);
    std::vector<std::string> outputs;
    if (options.accent)
        outputs.push_back(std::move(accent));
    if (options.rtf)
        outputs.push_back(std::move(rtf));
    if (options.unicode)
        outputs.push_back(std::move(unicodeText));
    if (options.text)
        outputs.push_back(std::move(text));
    return outputs;
}

bool outputComplete(const std::string& path) {
    return completeAndNew(::open(path.c_str(), readFlags), path, nullptr);
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

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t sourceSize(const std::string& source) {
    struct stat status;
    return ::stat(source.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// The start of one source's conversion: everything up to the conversion
// itself. True when result is final already.
bool beginSource(const Options& options, const SourceItem& item, SourceResult& result,
                 const std::function<void(std::uint64_t)>& progressed) {
    if (item.failure.any()) {
        result.failure = item.failure;
        result.status = SourceResult::Status::Failed;
        // A source whose output name is taken is there to be measured.
        if (item.failure.nameIsTaken())
            result.bytes = sourceSize(item.source);
        return true;
    }
    if (options.update && upToDate(options, item, result.bytes)) {
        progressed(result.bytes);
        result.status = SourceResult::Status::Skipped;
        return true;
    }
    if (!item.caseTwinOf.empty()) {
        if (Failure taken = caseTwinFailure(options, item); taken.any()) {
            if (taken.nameIsTaken())
                result.bytes = sourceSize(item.source);
            result.failure = std::move(taken);
            result.status = SourceResult::Status::Failed;
            return true;
        }
    }
    if (!options.outputDir.empty()) {
        std::string folder;
        if (const int error = makeParentFolders(item.outputBase, folder); error != 0) {
            result.failure = Failure::ofError(folder, error);
            result.status = SourceResult::Status::Failed;
            return true;
        }
    }
    return false;
}

// Files a group may hold open, all threads' groups together: what the
// process may open, less room for sources, folders, the report and more.
std::atomic<unsigned> groupThreads{1};
// The sources the job pool holds at once, those waiting to be told among
// them; 0 when it does not say.
std::atomic<std::size_t> poolWindow{0};
constexpr rlim_t filesKeptFree = 64;

// A group's bounds: documents, and bytes written.
constexpr std::size_t groupDocuments = 1024;
constexpr std::uint64_t groupBytes = 256 << 20;

// Whether a thread's group is made durable and named on a thread beside it,
// while it writes the next: only when outputs are synced (naming alone costs
// little), and for so many threads at most that the signal handler still
// has room for the hidden name such naming may hold beside each thread's.
bool namedBeside() {
    return outputsSynced() && groupThreads.load() * (temporariesPerRun + 1) <= temporarySlotCount;
}

// The documents a group may hold. A thread named beside holds three groups
// unfinished at times (one named, one being named, one being written), with
// the other threads' between their jobs: each fits a quarter of the thread's
// share of the pool's window, or the thread would find the window full and
// finish its groups early, at the cost of a flush more.
std::size_t groupDocumentsAllowed() {
    const std::size_t window = poolWindow.load();
    if (window == 0 || !namedBeside())
        return groupDocuments;
    return std::clamp<std::size_t>(window / groupThreads.load() / 4, 1, groupDocuments);
}

int groupFilesAllowed() {
    static const rlim_t limit = [] {
        struct rlimit files {};
        if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY)
            return rlim_t{1024};
        return files.rlim_cur;
    }();
    // A thread's group may be named while the next is written: two groups
    // a thread hold files then.
    const rlim_t groups = groupThreads.load() * (namedBeside() ? 2 : 1);
    const rlim_t perThread = limit > filesKeptFree ? (limit - filesKeptFree) / groups : 0;
    return static_cast<int>(std::min<rlim_t>(perThread, temporariesPerRun * groupDocuments));
}

} // namespace

struct DocumentGroup::Member {
    Member(std::vector<std::string>& toOpen, const std::function<void(std::uint64_t)>& progressed,
           std::uint64_t size)
        : frontEnd(toOpen, progressed, size) {}
    SourceFrontEnd frontEnd;
    PreparedConversion prepared;
    SourceResult* result = nullptr;
    const std::function<void(std::uint64_t)>* progressed = nullptr;
    Clock::time_point start;
    bool timed = false;
    bool done = false; // result final already: nothing to name
};

DocumentGroup::DocumentGroup() = default;

DocumentGroup::~DocumentGroup() {
    if (namer_.joinable())
        namer_.join();
}

void DocumentGroup::shareFilesAmong(unsigned threads, std::size_t window) {
    groupThreads.store(threads == 0 ? 1 : threads);
    poolWindow.store(window);
}

bool DocumentGroup::add(const Options& options, const SourceItem& item, SourceResult& result,
                        std::vector<std::string>& toOpen,
                        const std::function<void(std::uint64_t)>& progressed) {
    // The time taken is for the report only; a batch of small sources
    // without one need not read the clock twice a file.
    const bool timed = !options.report.empty();
    const Clock::time_point start = timed ? Clock::now() : Clock::time_point{};
    const bool done = beginSource(options, item, result, progressed);
    if (done && timed)
        result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // Behind documents still in the group, a source that is done waits for
    // them, so that one thread's sources end in their order.
    if (done && members_.empty() && handed_.empty() && named_.empty())
        return true;
    auto member = std::make_unique<Member>(toOpen, progressed, item.size);
    member->result = &result;
    member->progressed = &progressed;
    member->start = start;
    member->timed = timed;
    member->done = done;
    if (!done)
        member->prepared = prepareConversion({.source = item.source,
                                              .outputBase = item.outputBase,
                                              .accent = options.accent,
                                              .rtf = options.rtf,
                                              .text = options.text,
                                              .unicodeText = options.unicode,
                                              .openAfter = options.open,
                                              .followSourceLink = !item.walked},
                                             member->frontEnd);
    bytes_ += member->prepared.outputBytes();
    openFiles_ += member->prepared.openFiles();
    hiddenNames_ = hiddenNames_ || member->prepared.holdsHiddenNames();
    members_.push_back(std::move(member));
    return false;
}

bool DocumentGroup::full() const {
    // Room for one more document's files. Hidden names are held one
    // document at a time: the signal handler keeps room for one run's per job.
    return members_.size() >= groupDocumentsAllowed() || bytes_ >= groupBytes ||
           openFiles_ + static_cast<int>(temporariesPerRun) > groupFilesAllowed() || hiddenNames_;
}

unsigned DocumentGroup::flush(bool last) {
    awaitNaming();
    handed_.swap(members_);
    handedGroup_ = SyncGroup(true);
    // Nothing kept between groups: a thread's group outlives its batch.
    Members().swap(members_);
    bytes_ = 0;
    openFiles_ = 0;
    // The durable flush, then the names, beside the thread that writes the
    // next group: its files wait for the disk while the thread works on.
    // A group that holds hidden names is done at once, so that its thread
    // holds those of one document at a time.
    const bool hidden = hiddenNames_;
    hiddenNames_ = false;
    if (!last && !hidden && namedBeside()) {
        try {
            // Started from this thread, it shares its descriptors.
            namer_ = std::thread([this] {
                try {
                    syncAndName();
                } catch (...) {
                    namingFailure_ = std::current_exception();
                }
            });
            return 2;
        } catch (const std::system_error&) {
            // No thread to be had: done here, as it would be there.
        }
    }
    syncAndName();
    finish(named_, namedGroup_);
    named_.swap(handed_);
    namedGroup_ = std::move(handedGroup_);
    if (!last)
        return 1;
    namedGroup_.syncNames();
    finish(named_, namedGroup_);
    return 0;
}

void DocumentGroup::syncAndName() {
    for (const auto& member : handed_)
        if (!member->done)
            member->prepared.addOutputsTo(handedGroup_);
    handedGroup_.syncData();
    if (!named_.empty())
        namedGroup_.syncNames(handedGroup_.systemsSynced());
    for (const auto& member : handed_)
        if (!member->done)
            member->prepared.name(handedGroup_);
}

void DocumentGroup::awaitNaming() {
    if (!namer_.joinable())
        return;
    namer_.join();
    if (namingFailure_)
        std::rethrow_exception(std::exchange(namingFailure_, nullptr));
    // named_'s names are durable now, with handed_'s data.
    finish(named_, namedGroup_);
    named_.swap(handed_);
    namedGroup_ = std::move(handedGroup_);
}

void DocumentGroup::finish(Members& members, const SyncGroup& group) {
    for (const auto& member : members) {
        if (member->done)
            continue;
        SourceResult& result = *member->result;
        ConversionOutcome outcome = member->prepared.report(group, member->frontEnd);
        if (outcome.sourceBytes > member->frontEnd.reported())
            (*member->progressed)(outcome.sourceBytes - member->frontEnd.reported());
        result.outputs = std::move(outcome.outputs);
        result.bytes = outcome.sourceBytes;
        result.replaced = outcome.replacedBytes;
        if (outcome.status == ConversionOutcome::Status::Converted) {
            result.status = SourceResult::Status::Converted;
        } else {
            if (outcome.failure)
                result.failure = Failure::of(*outcome.failure);
            result.status = SourceResult::Status::Failed;
        }
        if (member->timed)
            result.seconds = std::chrono::duration<double>(Clock::now() - member->start).count();
    }
    Members().swap(members);
}

namespace {} // namespace

SourceResult checkSource(const Options& options, const SourceItem& item) {
    SourceResult result;
    if (item.failure.any()) {
        result.failure = item.failure;
        if (item.failure.nameIsTaken())
            result.bytes = sourceSize(item.source);
        return result;
    }
    if (options.update && upToDate(options, item, result.bytes)) {
        result.status = SourceResult::Status::Skipped;
        return result;
    }
    try {
        const InputFile source(item.source, !item.walked);
        result.bytes = source.size();
    } catch (const ConversionError& error) {
        result.failure = Failure::of(error.failure());
        return result;
    }
    // Below -o, a link in a folder's place fails the run's source: this one
    // too. Without DIR there is nothing below it yet, and nothing is made.
    struct stat root;
    if (const std::size_t slash = item.outputBase.rfind('/');
        slash != std::string::npos && slash != 0 && ::stat(options.outputDir.c_str(), &root) == 0 &&
        isConfined(std::string_view(item.outputBase).substr(0, slash))) {
        std::string failed;
        const int fd =
            openConfinedFolder(std::string_view(item.outputBase).substr(0, slash), false, failed);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno != ENOENT) {
            result.failure = Failure::ofError(failed, errno);
            return result;
        }
    }
    const std::string folder = nearestFolder(item.outputBase);
    try {
        if (!item.caseTwinOf.empty() && folderIgnoresCase(folder) > 0) {
            result.failure = Failure::nameTaken(item.source, firstOutput(options, item.outputBase),
                                                item.caseTwinOf);
            return result;
        }
    } catch (const ConversionError&) {
        // The run meets the same trouble and tells it; here it is no refusal.
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        result.failure = Failure::ofError(folder, errno);
        return result;
    }
    result.outputs = selectedOutputs(options, item.outputBase);
    for (const std::string& output : result.outputs) {
        struct stat status;
        if (::stat(output.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            result.failure = Failure::ofError(output, EISDIR);
            result.outputs.clear();
            return result;
        }
    }
    result.status = SourceResult::Status::WouldConvert;
    return result;
}

SourceResult convertSource(const Options& options, const SourceItem& item,
                           std::vector<std::string>& toOpen,
                           const std::function<void(std::uint64_t)>& progressed) {
    SourceResult result;
    DocumentGroup group;
    if (!group.add(options, item, result, toOpen, progressed))
        group.flush();
    return result;
}

} // namespace orv::cli
