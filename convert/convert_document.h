#pragma once

#include "convert/front_end.h"

#include <string>

namespace orv {

inline constexpr const char* successMessage = "Successfully converted!";

// The files one conversion of folder/name reads and writes. The separator is
// always added, so a root folder gives "//name", which the system accepts.
struct ConversionPaths {
    std::string source;
    std::string text;
    std::string accent;
    std::string rtf;
};
ConversionPaths conversionPaths(const std::string& folder, const std::string& name);

// Converts folder/name into every selected format, in a fixed order: the
// decoded text file, the Accent document, the RTF document; removes the text
// file unless text is selected; opens the results if asked. Ends by
// reporting success or the first failure to frontEnd. Files written before a
// failure stay as they are.
void convertDocument(const std::string& folder, const std::string& name, bool accent, bool rtf,
                     bool text, bool openAfter, FrontEnd& frontEnd);

} // namespace orv
