#pragma once

#include <cstddef>

namespace orv {

// The blocks a conversion streams through, ioBlockSize bytes each. They are
// allocated once per thread and reused for every file it converts: a batch
// of small documents would otherwise pay page faults and system calls for
// fresh blocks in every file. Each role is used by one step at a time.
enum class ScratchRole {
    input,    // a source or decoded text file read forward
    backward, // a long segment or line read again, back to front
    fillA,    // the two halves of a BackgroundWriter
    fillB,
    count,
};

char* scratchBlock(ScratchRole role);

} // namespace orv
