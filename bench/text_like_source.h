#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv::bench {

// Every generated source starts from this seed, so runs are comparable.
inline constexpr std::uint64_t fixedSeed = 0x4f52562d62656e63;

// Bytes shaped like a real document: mostly translated letters and spaces,
// a break byte every 10 to 110 bytes (mostly 3 and 252), now and then a
// filler 255 or a CR LF pair. Exactly size bytes.
std::string makeTextLikeSource(std::size_t size, std::uint64_t seed = fixedSeed);

// Nothing but break bytes: every byte starts a new decoded line, the
// heaviest case for the per-line work. Exactly size bytes.
std::string makeBreakOnlySource(std::size_t size, std::uint64_t seed = fixedSeed);

} // namespace orv::bench
