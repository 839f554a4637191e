#pragma once

#include <array>
#include <cstdint>

namespace orv {

// One entry per byte value: the byte it translates to, or -1 when the byte
// is left as it stands.
inline constexpr std::int16_t noTranslation = -1;
extern const std::array<std::int16_t, 256> charMap;

// Bytes that end a decoded line; 252 also puts a TAB before the line end.
inline constexpr bool isBreakCode(unsigned char b) {
    return b == 3 || b == 250 || b == 252 || b == 254;
}
inline constexpr unsigned char tabBreakCode = 252;
inline constexpr unsigned char fillerByte = 255;

} // namespace orv
