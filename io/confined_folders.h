#pragma once

#include <string>
#include <string_view>

namespace orv {

// Outputs below a chosen folder (orvconv's -o DIR) stay inside it: every
// folder below it is opened, and made, without following a link, one step
// at a time from the chosen folder held open, so that a folder swapped for a
// link meanwhile is refused rather than followed. The chosen folder itself
// may be a link: that is the user's choice. "" confines nothing.
void confineOutputsBelow(const std::string& root);

// Whether outputs in folder (as their paths spell it) are confined.
bool isConfined(std::string_view folder);

// Opens the confined folder (O_PATH), making the missing folders on the way
// when create is set; -1 with errno when that fails, failed then naming the
// folder concerned: a link below the root fails with ELOOP ("Too many levels
// of symbolic links"), anything else that is not a folder with ENOTDIR.
int openConfinedFolder(std::string_view folder, bool create, std::string& failed);

} // namespace orv
