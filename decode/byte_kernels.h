#pragma once

#include <cstddef>

namespace orv {

// The byte loops the pipeline spends its time in, on SIMD vectors where the
// processor has them (chosen at run time), with the plain loops beside them
// for the tests to compare against. Every function gives exactly what its
// plain twin gives.

// The first break code (3, 250, 252, 254) or CR in [p, end), or end.
const unsigned char* findBreakOrCr(const unsigned char* p, const unsigned char* end);

// Bytes [first, last) translated through charMap, back to front, into out,
// fillers (255) left out. Returns the bytes written.
std::size_t reverseTranslate(const unsigned char* first, const unsigned char* last, char* out);

// Bytes [p, p + n) back to front into out.
void reverseCopy(const char* p, std::size_t n, char* out);

// The first \, { or } in [p, end), or end.
const char* findRtfSpecial(const char* p, const char* end);

namespace plain {
const unsigned char* findBreakOrCr(const unsigned char* p, const unsigned char* end);
std::size_t reverseTranslate(const unsigned char* first, const unsigned char* last, char* out);
void reverseCopy(const char* p, std::size_t n, char* out);
const char* findRtfSpecial(const char* p, const char* end);
} // namespace plain

} // namespace orv
