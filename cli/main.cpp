#include "cli/batch.h"
#include "cli/desktop_opener.h"
#include "cli/job_pool.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "cli/quoted_name.h"
#include "cli/report_target.h"
#include "cli/report_writer.h"
#include "cli/source_list.h"
#include "cli/user_locale.h"
#include "convert/convert_document.h"
#include "io/confined_folders.h"
#include "io/durable_outputs.h"
#include "io/held_folders.h"
#include "io/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <new>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int exitConverted = 0;
constexpr int exitSomeFailed = 1;
constexpr int exitUsage = 2;

using orv::cli::SourceResult;

// Prints text on stdout; a full disk or closed pipe is reported, not lost.
int printToStdout(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written) {
        std::fprintf(stderr, "orvconv: standard output: %s\n", std::strerror(errno));
        return exitSomeFailed;
    }
    return exitConverted;
}

bool progressShown(const orv::cli::Options& options) {
    using Progress = orv::cli::Options::Progress;
    if (options.progress != Progress::Auto)
        return options.progress == Progress::On;
    // A dry run is over too soon to watch, and its list is on standard output.
    return ::isatty(STDERR_FILENO) == 1 && !options.dryRun &&
           options.verbosity != orv::cli::Options::Verbosity::Quiet;
}

// Whether standard output is the terminal the progress line is on.
bool stdoutOnStderrTerminal() {
    struct stat out, err;
    return ::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1 &&
           ::fstat(STDOUT_FILENO, &out) == 0 && ::fstat(STDERR_FILENO, &err) == 0 &&
           out.st_rdev == err.st_rdev;
}

// A source's size, for the time left; only worth its stat call when
// someone watches.
std::uint64_t measured(orv::cli::SourceItem& item) {
    struct stat status;
    if (!item.failure.any() && ::stat(item.source.c_str(), &status) == 0)
        item.size = static_cast<std::uint64_t>(status.st_size);
    return item.size;
}

// Names typed on a terminal are converted as each line ends; without a
// word, the command would seem to hang.
void hintAtTerminalList(const orv::cli::Options& options) {
    using orv::cli::Options;
    if (options.verbosity == Options::Verbosity::Quiet || ::isatty(STDIN_FILENO) != 1 ||
        ::isatty(STDERR_FILENO) != 1 ||
        std::find(options.filesFrom.begin(), options.filesFrom.end(), "-") ==
            options.filesFrom.end())
        return;
    std::fputs(options.nullSeparated
                   ? "orvconv: reading names from the terminal, each ended by Ctrl-@; Ctrl-D "
                     "ends the list\n"
                   : "orvconv: reading names from the terminal, one a line; Ctrl-D ends the "
                     "list\n",
               stderr);
}

const char* statusName(SourceResult::Status status) {
    switch (status) {
    case SourceResult::Status::Converted:
        return "converted";
    case SourceResult::Status::Skipped:
        return "skipped";
    case SourceResult::Status::WouldConvert:
        return "would-convert";
    case SourceResult::Status::Failed:
        break;
    }
    return "failed";
}

std::string summary(std::size_t files, const std::size_t (&counts)[4], std::uint64_t bytes,
                    double seconds) {
    return "orvconv: " + std::to_string(files) + " files: " +
           (counts[3] != 0 ? std::to_string(counts[3]) + " would be converted, "
                           : std::to_string(counts[0]) + " converted, ") +
           std::to_string(counts[2]) + " skipped, " + std::to_string(counts[1]) + " failed; " +
           orv::cli::humanBytes(bytes) + " in " + orv::cli::humanDuration(seconds);
}

// The outputs' names, as a terminal should show them.
std::string shownOutputs(const SourceResult& result) {
    std::string shown;
    for (const std::string& output : result.outputs)
        shown.append(shown.empty() ? "" : ", ").append(orv::cli::quotedName(output));
    return shown;
}

// -v: what became of a source that did not fail.
std::string verboseLine(const std::string& source, const SourceResult& result) {
    const std::string name = "orvconv: " + orv::cli::quotedName(source);
    if (result.status == SourceResult::Status::Skipped)
        return name + ": skipped, up to date";
    return name + ": converted to " + shownOutputs(result);
}

// -n: what would become of a source that would not fail, for standard output.
std::string dryRunLine(const std::string& source, const SourceResult& result) {
    if (result.status == SourceResult::Status::Skipped)
        return "would skip " + orv::cli::quotedName(source) + ", up to date\n";
    return "would convert " + orv::cli::quotedName(source) + " to " + shownOutputs(result) + "\n";
}

// The Unicode text among the source's outputs kept, or nullptr.
const std::string* unicodeOutput(const orv::cli::SourceItem& item, const SourceResult& result) {
    if (result.status == SourceResult::Status::WouldConvert)
        return nullptr;
    const std::string path = orv::outputPaths(item.outputBase).unicodeText;
    const auto kept = std::find(result.outputs.begin(), result.outputs.end(), path);
    return kept != result.outputs.end() ? &*kept : nullptr;
}

// The calling thread's group. A thread_local declared in convertAll would be
// made only in the thread that runs through its declaration: the workers'
// would be used unmade, and never destroyed.
orv::cli::DocumentGroup& threadGroup() {
    thread_local orv::cli::DocumentGroup group;
    return group;
}

// Says why the command line is refused, as every usage error is told.
int refuseUsage(const std::string& reason) {
    std::fprintf(stderr, "orvconv: %s\n%.*sTry 'orvconv --help' for more information.\n",
                 reason.c_str(), static_cast<int>(orv::cli::usageLine.size()),
                 orv::cli::usageLine.data());
    return exitUsage;
}

// A source on its way through the run, at its index modulo the window.
struct Slot {
    orv::cli::SourceItem item;
    SourceResult result;
    std::vector<std::string> toOpen;
};

// At most this many sources are held at once, whatever the list's length:
// those running and those waiting for their turn to be told.
constexpr std::size_t window = 4096;

int convertAll(const orv::cli::Options& options) {
    using namespace orv::cli;
    // Outputs stay inside -o DIR: no link below it is followed.
    orv::confineOutputsBelow(options.outputDir);
    // The operands are known before anything is written; the lists' names
    // are taken as they come.
    SourceLister lister(options);
    std::vector<SourceItem> operands;
    lister.listOperands([&](SourceItem&& item) { operands.push_back(std::move(item)); });
    ReportGuard reportGuard(options);
    // Before the report is opened, which empties it, and before any source is read.
    if (const std::string clash = reportGuard.clash(operands); !clash.empty())
        return refuseUsage(clash);
    ReportWriter report;
    if (!options.report.empty()) {
        if (const int error = report.open(options.report); error != 0) {
            std::fprintf(stderr, "orvconv: %s\n",
                         Failure::ofError(options.report, error).shown().c_str());
            return exitSomeFailed;
        }
        reportGuard.reportOpened();
    }
    const bool shown = progressShown(options);
    const bool listed = !options.filesFrom.empty();
    std::uint64_t operandBytes = 0;
    if (shown)
        for (SourceItem& item : operands)
            operandBytes += measured(item);
    ProgressLine progress(stderr, shown, operands.size(), operandBytes, listed);
    if (listed)
        hintAtTerminalList(options);
    const unsigned threads =
        options.jobs != 0 ? options.jobs : std::min(availableProcessors(), maxJobs);
    // A run of a few operands holds a few places: a process per document
    // would otherwise fill thousands of empty ones before its first byte.
    const std::size_t places =
        listed ? window : std::max<std::size_t>(threads, std::min(window, operands.size()));
    std::vector<Slot> slots(places);
    std::size_t counts[4] = {}; // converted, failed, skipped, would be converted
    std::uint64_t bytesDone = 0;
    bool reportFailed = false;
    // The report's first failure is told once, on a line of its own.
    const auto reportTrouble = [&](int error) {
        if (error == 0 || reportFailed)
            return;
        reportFailed = true;
        progress.printLine("orvconv: " + Failure::ofError(options.report, error).shown());
    };
    const bool quiet = options.verbosity == Options::Verbosity::Quiet;
    const bool verbose = options.verbosity == Options::Verbosity::Verbose;
    bool dryListed = true; // the dry run's list is all on standard output
    const bool rowsBesideLine = shown && options.report == "-" && stdoutOnStderrTerminal();
    const std::function<void(std::uint64_t)> progressed = [&](std::uint64_t bytes) {
        progress.addBytes(bytes);
    };

    // A list longer than the places may find them all taken.
    DocumentGroup::shareFilesAmong(threads, listed || operands.size() > places ? places : 0);
    // Each thread's documents are made durable and named a group at a time;
    // a row is reported only once its outputs' names are durable.
    runFedJobs(
        threads, listed ? std::nullopt : std::optional<std::size_t>(operands.size()),
        [&](const OfferJob& offer) {
            for (SourceItem& item : operands)
                offer([&](std::size_t i) { slots[i % places].item = std::move(item); });
            std::vector<SourceItem>().swap(operands);
            if (!listed)
                return;
            lister.listNames([&](SourceItem&& item) {
                // The report is open by now: a listed name that is it, or
                // whose output would be, fails alone.
                if (!item.failure.any())
                    if (Failure clash = reportGuard.failure(item); clash.any())
                        item.failure = std::move(clash);
                offer([&](std::size_t i) {
                    progress.addSource(shown ? measured(item) : 0);
                    slots[i % places].item = std::move(item);
                });
            });
            progress.listEnded();
        },
        [&](std::size_t i) {
            Slot& slot = slots[i % places];
            if (options.dryRun) {
                slot.result = checkSource(options, slot.item);
                progressed(slot.result.bytes);
                return JobEnd::ended;
            }
            try {
                DocumentGroup& group = threadGroup();
                if (group.add(options, slot.item, slot.result, slot.toOpen, progressed))
                    return JobEnd::ended;
                return group.full() ? JobEnd::groupFull : JobEnd::grouped;
            } catch (const std::bad_alloc&) {
                // Out of memory around the conversion: this source fails, the batch goes on.
                slot.result = {};
                slot.result.failure = Failure::ofError(slot.item.source, ENOMEM);
                return JobEnd::ended;
            }
        },
        [](bool last) { return threadGroup().flush(last); },
        [&](std::size_t i) {
            const Slot& slot = slots[i % places];
            const SourceResult& result = slot.result;
            ++counts[static_cast<int>(result.status)];
            bytesDone += result.bytes;
            progress.fileDone();
            if (!report.isOpen())
                return;
            int error = 0;
            const auto writeRow = [&] {
                error = report.write({slot.item.source, statusName(result.status), result.outputs,
                                      result.failure.any() ? result.failure.text() : "",
                                      result.bytes, result.seconds,
                                      unicodeOutput(slot.item, result) != nullptr
                                          ? std::optional<std::uint64_t>(result.replaced)
                                          : std::nullopt});
            };
            // A row on the progress line's terminal goes below it, not into it;
            // its failure is told once the line is free again.
            if (rowsBesideLine)
                progress.aside(writeRow);
            else
                writeRow();
            reportTrouble(error);
        },
        [&](std::size_t i) {
            Slot& slot = slots[i % places];
            const SourceResult& result = slot.result;
            // Not a failure: -q, which prints only failures, leaves it out.
            if (const std::string* unicode = unicodeOutput(slot.item, result);
                unicode != nullptr && result.replaced != 0 && !quiet)
                progress.printLine(
                    "orvconv: " + orv::replacedBytesWarning(quotedName(*unicode), result.replaced));
            if (result.failure.any())
                progress.printLine("orvconv: " + result.failure.shown());
            else if (options.dryRun && !quiet && options.report != "-")
                dryListed = dryListed && printToStdout(dryRunLine(slot.item.source, result)) == 0;
            else if (verbose)
                progress.printLine(verboseLine(slot.item.source, result));
            for (const std::string& path : slot.toOpen)
                openWithDesktop(path);
            // What has had its turn is needed no more; its place is the next's.
            slot = {};
        },
        places);

    reportTrouble(report.close());
    const std::size_t files = progress.files();
    progress.finish(
        files > 1 && !quiet ? summary(files, counts, bytesDone, progress.elapsedSeconds()) : "");
    // Messages that could not be told leave the batch done, but not as a success.
    return counts[1] != 0 || reportFailed || progress.lost() || !dryListed ? exitSomeFailed
                                                                           : exitConverted;
}

} // namespace

int main(int argc, char** argv) {
    // Names are checked against the user's locale before they are printed;
    // the report's numbers are JSON, whatever it writes for a decimal point.
    orv::cli::useUserLocale();
    // Ctrl-C in a long batch must not leave hidden half-written files behind.
    orv::removeTemporariesOnSignal();
    // Each thread keeps a group of documents open until they are durable:
    // the more files it may hold, the fewer flushes a batch costs. Nothing
    // here uses select(), which is what the low default protects.
    if (struct rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    // A batch reads and writes many files in few folders, often deep ones.
    orv::holdFoldersOpen(true);
    // Every file allocates and frees the same 1 MiB output buffers; keeping
    // freed memory for the next file spares a brk() pair and fresh page
    // faults per file in a batch of small documents.
    ::mallopt(M_MMAP_THRESHOLD, 16 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 16 << 20);

    using Action = orv::cli::Options::Action;
    const orv::cli::Options options =
        orv::cli::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.action) {
    case Action::Help:
        return printToStdout(orv::cli::helpText());
    case Action::Version:
        return printToStdout("orvconv " ORV_VERSION "\n");
    case Action::Convert:
        orv::setOutputsSynced(options.sync);
        return convertAll(options);
    case Action::Usage:
        break;
    }
    return refuseUsage(options.error);
}
