#pragma once

#include <cstddef>
#include <string>

namespace orv {

// Hidden files one conversion may hold at once: the decoded text and the
// three documents made from it. Whoever runs conversions side by side keeps their number times
// this within temporarySlotCount (a static_assert where the number is set).
inline constexpr std::size_t temporariesPerRun = 4;
// The signal handler's room for hidden names.
inline constexpr std::size_t temporarySlotCount = 1024;

// Hidden temporary files of the runs in progress, remembered so that a
// signal that ends the program does not leave them behind. Safe to use from
// several threads; the signal handler reads the list without locking.
class TemporaryFileList {
public:
    // A slot to hand back to forget(), or -1 when the list is full (the file
    // is then simply not cleaned up on a signal: see temporarySlotCount).
    static int remember(const std::string& path);
    static void forget(int slot);
};

// From now on SIGINT, SIGTERM and SIGHUP remove every remembered temporary
// file, then end the program as killed by that signal. Call once, early.
void removeTemporariesOnSignal();

} // namespace orv
