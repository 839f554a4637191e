#pragma once

#include "cli/options.h"
#include "io/conversion_error.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orv::cli {

// Why a source failed: what the run met, as io tells it (the path concerned
// and the platform's description), or, for an output name that an earlier
// source of the run already uses, that output name and the earlier source.
struct Failure {
    orv::Failure met;    // the source's path alone, for a name taken
    std::string output;  // the output name in dispute
    std::string earlier; // the source that has it

    static Failure of(orv::Failure met) { return {std::move(met), {}, {}}; }
    // The platform's description of errorNumber for path.
    static Failure ofError(std::string path, int errorNumber) {
        return of(orv::Failure::ofError(std::move(path), errorNumber));
    }
    // A failure the platform has no number for.
    static Failure withReason(std::string path, std::string reason) {
        return of({std::move(path), 0, std::move(reason)});
    }
    // source's output name output is already used by earlier.
    static Failure nameTaken(std::string source, std::string output, std::string earlier) {
        return {{std::move(source), 0, {}}, std::move(output), std::move(earlier)};
    }

    bool nameIsTaken() const { return !earlier.empty(); }
    // The path alone does not say: it may be the empty name a user gave.
    bool any() const { return !met.path.empty() || !met.reason.empty() || nameIsTaken(); }
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
    // Found by the walk of a folder as no link: opened without following
    // one, should the name have been swapped for a link since.
    bool walked = false;
    // An earlier source whose output name differs from this one's only in
    // the case of its letters: on a file system that ignores case, it has the
    // name, and this source fails.
    std::string caseTwinOf = {};
};

class OutputNames;

// The sources the options name, one at a time in order, each as soon as it
// is known: the FILE operands, then the names read from each --files-from
// list as they arrive. With -R a folder stands for the ORV documents below
// it. With -o, outputs go under that folder: a FILE's straight in, a listed
// name's at that name (refused when absolute or going up through ".."), a
// found document's at its path below the folder it was found in, itself
// placed there by its listed name if it was listed. A source whose output
// name an earlier one has is given as failed; what is kept of the earlier
// ones is a few bytes each (see OutputNames).
class SourceLister {
public:
    using Sink = std::function<void(SourceItem&&)>;
    explicit SourceLister(const Options& options);
    ~SourceLister();
    SourceLister(const SourceLister&) = delete;
    SourceLister& operator=(const SourceLister&) = delete;

    void listOperands(const Sink& sink);
    // Blocks while a list is slow to come; returns at the end of the last.
    void listNames(const Sink& sink);

private:
    void addOperand(const std::string& operand, bool listed, const Sink& sink);
    void add(const std::string& source, const std::string& belowOutputDir, bool walked,
             const Sink& sink);
    void fail(Failure failure, const Sink& sink);
    // With -U and -t, one source's Unicode text may be another's text output.
    void claimAcrossBases(SourceItem& item);

    const Options& options_;
    std::unique_ptr<OutputNames> outputNames_;
};

// The first output options select for outputBase, as written first: the
// name a source finds taken when another source has its outputs' names.
std::string firstOutput(const Options& options, const std::string& outputBase);

// path with repeated slashes and "." components left out, so that two
// spellings of one name meet. ".." stays: through a link it may lead
// elsewhere.
std::string pathKey(const std::string& path);

} // namespace orv::cli
