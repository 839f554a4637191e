#pragma once

#include "convert/front_end.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

inline constexpr const char* successMessage = "Successfully converted!";

// Whether a file name is an ORV document's: it ends in ".orv" in any letter
// case. ASCII letters only, as a name is bytes whatever the locale.
bool isOrvDocumentName(std::string_view name);

// The source folder/name. The separator is always added, so a root folder
// gives "//name", which the system accepts.
std::string sourcePath(const std::string& folder, const std::string& name);

// The outputs a conversion names after outputBase.
struct OutputPaths {
    std::string text;   // outputBase + ".txt"
    std::string accent; // outputBase + ".acc"
    std::string rtf;    // outputBase + ".rtf"
};
OutputPaths outputPaths(const std::string& outputBase);

// One conversion: what is read, where the outputs go, which are wanted.
// Outputs are named outputBase + ".txt", ".acc" and ".rtf"; beside the
// source, outputBase is the source path itself.
struct ConversionJob {
    std::string source;
    std::string outputBase;
    bool accent = false;
    bool rtf = false;
    bool text = false;
    bool openAfter = false;
    bool followSourceLink = true; // false: a link under the source's name is refused
};

struct ConversionOutcome {
    enum class Status { Converted, Failed, Cancelled };
    Status status = Status::Failed;
    std::string error;                // what the front end was told, for Failed:
    std::string errorPath;            // the path concerned
    std::string errorReason;          // and the platform's words for what went wrong
    std::vector<std::string> outputs; // the outputs written and kept, in the order written
    std::uint64_t sourceBytes = 0;    // the source's size, once it was opened
};

// Converts job.source into every selected format, in a fixed order: the
// decoded text file, the Accent document, the RTF document; removes the text
// file unless text is selected; opens the results if asked. Ends by
// reporting success or the first failure to frontEnd (nothing when
// cancelled). Outputs finished before a failure stay as they are.
ConversionOutcome runConversion(const ConversionJob& job, FrontEnd& frontEnd);

// runConversion of folder/name with the outputs beside it.
void convertDocument(const std::string& folder, const std::string& name, bool accent, bool rtf,
                     bool text, bool openAfter, FrontEnd& frontEnd);

} // namespace orv
