#pragma once

#include "convert/front_end.h"
#include "io/block_sizes.h"
#include "io/conversion_error.h"
#include "io/durable_outputs.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

inline constexpr const char* successMessage = "Successfully converted!";

// From this source size on, the documents made from the text are written on
// threads of their own while the text is decoded. Below it, starting the
// threads and waiting for the text costs more than the overlap gains: on
// two cores, measured, they break even at 16 MiB and pay from there on.
inline constexpr std::uint64_t parallelWritersFrom = 16 * std::uint64_t{ioBlockSize};

// Whether a file name is an ORV document's: it ends in ".orv" in any letter
// case. ASCII letters only, as a name is bytes whatever the locale.
bool isOrvDocumentName(std::string_view name);

// The source folder/name. The separator is always added, so a root folder
// gives "//name", which the system accepts.
std::string sourcePath(const std::string& folder, const std::string& name);

// The outputs a conversion names after outputBase.
struct OutputPaths {
    std::string text;        // outputBase + ".txt"
    std::string accent;      // outputBase + ".acc"
    std::string rtf;         // outputBase + ".rtf"
    std::string unicodeText; // outputBase + ".utf8.txt"
};
OutputPaths outputPaths(const std::string& outputBase);

// One conversion: what is read, where the outputs go, which are wanted.
// Build it with designated initialisers: its flags are all bool, and a
// positional list would shift silently when one is added.
// Outputs are named outputBase + ".txt", ".acc", ".rtf" and ".utf8.txt";
// beside the source, outputBase is the source path itself.
struct ConversionJob {
    std::string source;
    std::string outputBase;
    bool accent = false;
    bool rtf = false;
    bool text = false;
    bool unicodeText = false;
    bool openAfter = false;
    bool followSourceLink = true; // false: a link under the source's name is refused
};

struct ConversionOutcome {
    enum class Status { Converted, Failed, Cancelled };
    Status status = Status::Failed;
    std::optional<Failure> failure;   // what the front end was told, for Failed
    std::vector<std::string> outputs; // the outputs written and kept, in the order written
    std::uint64_t sourceBytes = 0;    // the bytes read of the source
    // The bytes of the decoded text the Unicode text holds as U+FFFD, when
    // it is among the outputs.
    std::uint64_t replacedBytes = 0;
};

// What the front end is told of a Unicode text at path that holds
// replacedBytes U+FFFD: "path: 3 bytes with no Unicode character, written
// as U+FFFD".
std::string replacedBytesWarning(const std::string& path, std::uint64_t replacedBytes);

// Converts job.source into every selected format, in a fixed order: the
// decoded text file, the Accent document, the RTF document, the Unicode
// text; drops the decoded text unless text is selected (an existing text
// output of that name stays as it is); opens the results if asked. Ends by
// reporting success or the first failure to frontEnd (nothing when
// cancelled), after a warning when the Unicode text kept holds U+FFFD.
// Outputs finished before a failure stay as they are. Unless outputs are
// not synced (setOutputsSynced), every output is on stable storage, data
// and name, before success is reported.
ConversionOutcome convertDocument(const ConversionJob& job, FrontEnd& frontEnd);

// convertDocument in steps, for a batch that makes many documents durable at
// once: prepareConversion() writes every output in full without naming any;
// addOutputsTo() hands the finished outputs to a group, which makes their
// data durable; name() names them in the fixed order, with the outcome
// convertDocument would have (what remains after a failure is what the steps
// one after the other would leave) and hands the names to the group; once
// the group has made them durable, report() tells frontEnd and gives the
// outcome. Dropped before name(), the conversion leaves every earlier
// output as it was.
class PreparedConversion {
public:
    PreparedConversion();
    ~PreparedConversion();
    PreparedConversion(PreparedConversion&&) noexcept;
    PreparedConversion& operator=(PreparedConversion&&) noexcept;

    void addOutputsTo(SyncGroup& group);
    void name(SyncGroup& group);
    ConversionOutcome report(const SyncGroup& group, FrontEnd& frontEnd);
    // The bytes of every output written, to bound a group.
    std::uint64_t outputBytes() const;
    // The files it holds open until named.
    int openFiles() const;
    // Whether any of them waits under a hidden name.
    bool holdsHiddenNames() const;

private:
    friend PreparedConversion prepareConversion(ConversionJob job, FrontEnd& frontEnd);
    struct State;
    std::unique_ptr<State> state_;
};

PreparedConversion prepareConversion(ConversionJob job, FrontEnd& frontEnd);

} // namespace orv
