#pragma once

#include "simd/rtf_escaper.h"

#include <cstddef>
#include <string_view>

namespace orv {

// The byte loops the pipeline spends its time in, on SIMD vectors where the
// processor has them (chosen at run time), with the plain loops beside them
// for the tests to compare against. Every function gives exactly what its
// plain twin gives.

// The first break code (3, 250, 252, 254) or CR in [p, end), or end.
const unsigned char* findBreakOrCr(const unsigned char* p, const unsigned char* end);

// Bytes [first, last) translated through charMap, back to front, into out,
// fillers (255) left out. Returns the bytes written; out has room for
// last - first bytes, which it may use all of.
std::size_t reverseTranslate(const unsigned char* first, const unsigned char* last, char* out);

// Bytes [first, last) of a segment, back to front, translated into out,
// leaving out fillers, every CR and each LF straight after a CR; before is
// the byte before first, or -1, and decides a leading LF. Returns the bytes
// written; out has room for last - first bytes, as above.
std::size_t reverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before);

// The whole segments at the start of [p, end), each ended by a break code,
// decoded into out as the decoder writes them: reverseTranslateSegment's
// bytes, then a TAB when the break before the segment was 252, then CR LF.
// Stops at the first segment that has no break before end, or whose length
// plus 3 exceeds what is left of room.
struct DecodedRun {
    const unsigned char* next; // the first byte not decoded
    std::size_t written;
    bool tabAfter; // for the segment at next
};
DecodedRun decodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter);

// Bytes [p, p + n) back to front into out.
void reverseCopy(const char* p, std::size_t n, char* out);

// The first byte of [p, end) that isRtfSpecial, or end.
const char* findRtfSpecial(const char* p, const char* end);

// [p, end) escaped for an RTF body, up to end or the first CR, into out:
// escapeRtfWith over findRtfSpecial.
EscapedRun escapeRtf(const char* p, const char* end, char* out);

// How a writer puts a decoded line into its document: back to front, or as
// it is with each byte that isRtfSpecial escaped (escapeRtf).
enum class LineForm : unsigned char { reversed, rtfEscaped };

// The whole lines at the start of [p, end), each ended by a CR that is not
// end's last byte (with the LF straight after it, if any), put into out in
// form, each followed by paragraphEnd (at most 64 bytes). Stops at the first
// line without such an end, or whose most bytes (its length, rtfEscapeBytes
// times that for RTF, plus paragraphEnd) exceed what is left of room. The
// room past the bytes written may be written over.
struct LineRun {
    const char* next; // the first byte not taken
    std::size_t written;
};
LineRun writeWholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                        std::string_view paragraphEnd);

namespace plain {
const unsigned char* findBreakOrCr(const unsigned char* p, const unsigned char* end);
std::size_t reverseTranslate(const unsigned char* first, const unsigned char* last, char* out);
std::size_t reverseTranslateSegment(const unsigned char* first, const unsigned char* last,
                                    char* out, int before);
DecodedRun decodeWholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                               std::size_t room, bool tabAfter);
void reverseCopy(const char* p, std::size_t n, char* out);
const char* findRtfSpecial(const char* p, const char* end);
EscapedRun escapeRtf(const char* p, const char* end, char* out);
LineRun writeWholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                        std::string_view paragraphEnd);
} // namespace plain

} // namespace orv
