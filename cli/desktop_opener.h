#pragma once

#include <string>

namespace orv::cli {

// Asks xdg-open to open path with the desktop's program for it, and returns
// at once. The opener runs detached, in its own session with its output sent
// to /dev/null, so a viewer that stays open never holds up orvconv and its
// chatter never mixes with orvconv's. Whether it starts, or exists at all,
// is deliberately not reported.
void openWithDesktop(const std::string& path);

} // namespace orv::cli
