#pragma once

#include "cli/options.h"
#include "cli/source_list.h"
#include "io/durable_outputs.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orv::cli {

// What became of one source.
struct SourceResult {
    enum class Status { Converted, Failed, Skipped, WouldConvert };
    Status status = Status::Failed;
    Failure failure;
    std::vector<std::string> outputs; // written and kept
    std::uint64_t bytes = 0;          // the bytes read of the source, when known
    std::uint64_t replaced = 0;       // the bytes the Unicode text holds as U+FFFD
    double seconds = 0;               // the time taken, measured only for the report
};

// The outputs' names for outputBase that options select, in the order written.
std::vector<std::string> selectedOutputs(const Options& options, const std::string& outputBase);

// True when every selected output of item exists, is complete
// (outputComplete) and is not older than its source; bytes receives the
// source's size.
bool upToDate(const Options& options, const SourceItem& item, std::uint64_t& bytes);

// Converts one source as options ask: skipped when up to date under -u, its
// output folders created under -o. Documents to open are passed to
// toOpen(path) rather than opened, so that they open in the order of the
// sources whatever the number of threads; progressed(bytes) hears of every
// source byte done. Safe to run for several sources at once.
SourceResult convertSource(const Options& options, const SourceItem& item,
                           std::vector<std::string>& toOpen,
                           const std::function<void(std::uint64_t)>& progressed);

// What convertSource would make of item, found without writing anything:
// failed when the source cannot be read as a regular file, when its output
// name is taken, an output is a folder or a link below -o stands in a
// folder's place, or when no output may be written
// in the output's folder (or the nearest one there is); skipped under -u when up to
// date; otherwise WouldConvert, with the outputs it would write. Failures
// that only writing meets (a full disk) are not foreseen.
SourceResult checkSource(const Options& options, const SourceItem& item);

// An output holds a whole document: it is not empty and ends as every
// output of its kind (.txt, .acc, .rtf, .utf8.txt) does. Only its last bytes are read.
bool outputComplete(const std::string& path);

// The documents one thread has written but not yet named, so that their
// data is made durable at once, then their names, before any is reported:
// far cheaper than a flush per file. Bounded in documents, bytes and open
// files.
class DocumentGroup {
public:
    DocumentGroup();
    ~DocumentGroup();
    DocumentGroup(const DocumentGroup&) = delete;
    DocumentGroup& operator=(const DocumentGroup&) = delete;

    // Converts one source as convertSource does, except that a converted
    // document's outputs are named, and result and toOpen filled in, only
    // at flush(). True when result is final already (a failure, a skip).
    // result, toOpen and progressed must outlive the flush.
    bool add(const Options& options, const SourceItem& item, SourceResult& result,
             std::vector<std::string>& toOpen,
             const std::function<void(std::uint64_t)>& progressed);
    bool full() const;
    // Makes the group's data durable and names its documents. last: also
    // makes the names durable and finishes every group held; returns 0.
    // Otherwise the names wait for the next flush, whose data flush makes
    // them durable too (one flush a group instead of two). That work may go
    // on beside the thread, on a thread of the group's, while the next group
    // is written: the group before this one then stays unfinished as well.
    // Returns how many groups are left unfinished, this one included.
    unsigned flush(bool last = true);

    // The threads that hold a group each, which share the open files allowed
    // and the window of sources their job pool holds at once (0: none said).
    static void shareFilesAmong(unsigned threads, std::size_t window = 0);

private:
    struct Member;
    using Members = std::vector<std::unique_ptr<Member>>;
    static void finish(Members& members, const SyncGroup& group);
    // Makes handed_'s data durable, and with it named_'s names, then names
    // handed_'s documents.
    void syncAndName();
    // Waits for the naming thread, if any, to be done with handed_.
    void awaitNaming();
    Members members_; // written, not yet handed on
    Members handed_;  // being made durable and named (on namer_ when it runs)
    SyncGroup handedGroup_;
    Members named_;        // named, their names durable with handed_'s data
    SyncGroup namedGroup_; // the files and folders of those
    std::thread namer_;
    std::exception_ptr namingFailure_;
    std::uint64_t bytes_ = 0;
    int openFiles_ = 0;
    bool hiddenNames_ = false;
};

} // namespace orv::cli
