#pragma once

#include "cli/options.h"
#include "cli/source_list.h"
#include "io/durable_outputs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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
    // makes the names durable and finishes the group. Otherwise the group
    // waits for the next flush, whose data flush makes its names durable
    // too (one flush a group instead of two), and finishes then.
    void flush(bool last = true);

    // The threads that hold a group each, which share the open files allowed.
    static void shareFilesAmong(unsigned threads);

private:
    struct Member;
    using Members = std::vector<std::unique_ptr<Member>>;
    static void finish(Members& members, const SyncGroup& group);
    Members members_;
    Members named_;        // named by the last flush, their names not yet durable
    SyncGroup namedGroup_; // the files and folders of those
    std::uint64_t bytes_ = 0;
    int openFiles_ = 0;
    bool hiddenNames_ = false;
};

} // namespace orv::cli
