#pragma once

#include <string>

namespace orv::cli {

// A FILE argument split into the folder and name that convertDocument joins
// with "/". Everything before the last "/" is the folder and everything after
// it the name, so the joined path is exactly the text the user typed
// ("/x.ORV" gives folder "" and name "x.ORV"). A bare name has no folder of
// its own and gets ".", so "x.ORV" is read as "./x.ORV".
struct SourceLocation {
    std::string folder;
    std::string name;
};

SourceLocation splitSourcePath(const std::string& path);

} // namespace orv::cli
