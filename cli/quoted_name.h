#pragma once

#include <string>
#include <string_view>

namespace orv::cli {

// A name as the terminal should show it. A name whose every character is
// printable in the current locale comes back unchanged. Any other name,
// the empty one too (shown as ''), is
// quoted in the shell's own syntax, as GNU tools do in their "shell-escape"
// style: single quotes around it, and each control character or byte that
// is not a character of the locale written as $'\n' or $'\033'. Pasted back
// into a shell, the quoted form names the same bytes, and it can neither
// drive the terminal nor span two lines.
std::string quotedName(std::string_view name);

// True when quotedName(name) differs from name.
bool needsQuoting(std::string_view name);

} // namespace orv::cli
