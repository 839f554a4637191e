#pragma once

#include "simd/byte_kernels.h"
#include "simd/byte_tables.h"
#include "simd/char_map.h"
#include "simd/rtf_escaper.h"

#include <cstddef>
#include <cstring>

// The decoder's steps around a segment, written once over the kernels that
// do the byte work, so that the plain loops and each SIMD target share them.
namespace orv::kernel_loops {

// reverseTranslateSegment over a translate(first, last, out) that leaves out
// fillers only: the runs between CRs go through it whole.
template <class Translate>
std::size_t withTerminators(const unsigned char* first, const unsigned char* last, char* out,
                            int before, Translate translate) {
    std::size_t kept = 0;
    while (last != first) {
        const auto* cr = static_cast<const unsigned char*>(
            ::memrchr(first, '\r', static_cast<std::size_t>(last - first)));
        const unsigned char* start = cr != nullptr ? cr + 1 : first;
        if (start != last && *start == '\n' && (cr != nullptr || before == '\r'))
            ++start;
        kept += translate(start, last, out + kept);
        if (cr == nullptr)
            break;
        last = cr;
    }
    return kept;
}

// decodeWholeSegments over find (findBreakOrCr) and translate
// (reverseTranslate): a segment that holds a CR goes through withTerminators.
template <class Find, class Translate>
DecodedRun wholeSegments(const unsigned char* p, const unsigned char* end, char* out,
                         std::size_t room, bool tabAfter, Find find, Translate translate) {
    const auto& classes = byteClasses();
    std::size_t written = 0;
    for (;;) {
        const unsigned char* scan = find(p, end);
        bool crs = false;
        while (scan != end && classes[*scan] == crByte) {
            crs = true;
            scan = find(scan + 1, end);
        }
        if (scan == end || static_cast<std::size_t>(scan - p) + 3 > room - written)
            break;
        written += crs ? withTerminators(p, scan, out + written, -1, translate)
                       : translate(p, scan, out + written);
        if (tabAfter)
            out[written++] = '\t';
        out[written++] = '\r';
        out[written++] = '\n';
        tabAfter = *scan == tabBreakCode;
        p = scan + 1;
    }
    return {p, written, tabAfter};
}

// writeWholeLines for LineForm::rtfEscaped over findSpecial
// (findRtfSpecial): each line through the one escaper, which stops at its
// CR, so one scan runs the length of the text, not of a line. The escape
// stops at the longest line that fits what is left of room; the bytes
// written past the last whole line are left, uncounted.
template <class FindSpecial>
LineRun escapedLines(const char* p, const char* end, char* out, std::size_t room,
                     std::string_view paragraphEnd, FindSpecial findSpecial) {
    std::size_t written = 0;
    while (room - written >= paragraphEnd.size()) {
        // The bytes that may be written; a CR may stand at bound too.
        const std::size_t longest = (room - written - paragraphEnd.size()) / rtfEscapeBytes;
        const char* const bound = static_cast<std::size_t>(end - p) > longest ? p + longest : end;
        // Escaped into out itself, past the lines before: the compiler then
        // keeps one count for both.
        const EscapedRun line = escapeRtfWith(p, bound, out, written, findSpecial);
        const char* const q = line.next;
        if (q == end || *q != '\r' || q + 1 == end)
            break;
        std::memcpy(out + line.written, paragraphEnd.data(), paragraphEnd.size());
        written = line.written + paragraphEnd.size();
        p = q[1] == '\n' ? q + 2 : q + 1;
    }
    return {p, written};
}

// writeWholeLines over reverseCopy and findRtfSpecial.
template <class ReverseCopy, class FindSpecial>
LineRun wholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                   std::string_view paragraphEnd, ReverseCopy reverseCopy,
                   FindSpecial findSpecial) {
    if (form == LineForm::rtfEscaped)
        return escapedLines(p, end, out, room, paragraphEnd, findSpecial);
    std::size_t written = 0;
    for (;;) {
        const auto* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (cr == nullptr || cr + 1 == end)
            break;
        const auto length = static_cast<std::size_t>(cr - p);
        if (length + paragraphEnd.size() > room - written)
            break;
        reverseCopy(p, length, out + written);
        written += length;
        std::memcpy(out + written, paragraphEnd.data(), paragraphEnd.size());
        written += paragraphEnd.size();
        p = cr[1] == '\n' ? cr + 2 : cr + 1;
    }
    return {p, written};
}

} // namespace orv::kernel_loops
