#pragma once

#include <cstddef>

// The block size is a build setting (the CMake cache variable of the same
// name); a build without it gets the size meant for real documents.
#ifndef ORV_IO_BLOCK_SIZE
#define ORV_IO_BLOCK_SIZE 1048576
#endif

namespace orv {

// Bytes read or written per system call.
inline constexpr std::size_t ioBlockSize = ORV_IO_BLOCK_SIZE;

// Smaller blocks than this only make the sanitizer runs slower without
// reaching a new edge.
static_assert(ioBlockSize >= 16, "ORV_IO_BLOCK_SIZE is too small");

} // namespace orv
