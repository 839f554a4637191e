#pragma once

#include <cstddef>

// The block sizes are a build setting (CMake cache variables of the same
// names); a build without them gets the sizes meant for real documents.
#ifndef ORV_IO_BLOCK_SIZE
#define ORV_IO_BLOCK_SIZE 1048576
#endif
#ifndef ORV_DECODE_BLOCK_SIZE
#define ORV_DECODE_BLOCK_SIZE 65536
#endif

namespace orv {

// Bytes read or written per system call.
inline constexpr std::size_t ioBlockSize = ORV_IO_BLOCK_SIZE;
// Bytes the decoder gathers before handing them on.
inline constexpr std::size_t decodeBlockSize = ORV_DECODE_BLOCK_SIZE;

// A line end and a TAB must fit in a decoder block; smaller I/O blocks than
// this only make the sanitizer runs slower without reaching a new edge.
static_assert(decodeBlockSize >= 16, "ORV_DECODE_BLOCK_SIZE is too small");
static_assert(ioBlockSize >= 16, "ORV_IO_BLOCK_SIZE is too small");

} // namespace orv
