#pragma once

#include <array>

namespace orv {

// charMap with its empty entries filled by the byte itself: one load per
// byte, no test.
const std::array<char, 256>& translationTable();

// What the decoder's forward scan stops at: break codes, and the CR of a
// source's line terminators.
enum ByteClass : unsigned char { plainByte = 0, breakByte = 1, crByte = 2 };
const std::array<unsigned char, 256>& byteClasses();

} // namespace orv
