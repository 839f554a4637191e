#pragma once

#include <array>
#include <cstdint>

namespace orv {

// charMap with its empty entries filled by the byte itself: one load per
// byte, no test.
const std::array<char, 256>& translationTable();

// What the decoder's forward scan stops at: break codes, and the CR of a
// source's line terminators.
enum ByteClass : unsigned char { plainByte = 0, breakByte = 1, crByte = 2 };
const std::array<unsigned char, 256>& byteClasses();

// translationTable() for 16-entry byte shuffles. Byte b, high nibble hi,
// goes to slot s = b ^ rowKey[hi]: its low nibble turned by the row's own
// pattern, in half (s >> 7) of 32 slots. Every byte that the table changes
// has a slot of its own, which holds that byte (from) and what it becomes
// (to); a byte whose slot holds another byte stays as it is. Eight of the
// sixteen rows hold all the changes, so that one lookup of the row and two
// of the slots translate any byte.
struct ShuffleTranslation {
    std::array<std::uint8_t, 16> rowKey;
    std::array<std::uint8_t, 16> from[2];
    std::array<std::uint8_t, 16> to[2];
};
const ShuffleTranslation& shuffleTranslation();

} // namespace orv
