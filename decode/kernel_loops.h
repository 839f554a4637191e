#pragma once

#include "decode/byte_kernels.h"
#include "decode/byte_tables.h"
#include "decode/char_map.h"

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

// writeWholeLines over reverseCopy and findRtfSpecial.
template <class ReverseCopy, class FindSpecial>
LineRun wholeLines(const char* p, const char* end, char* out, std::size_t room, LineForm form,
                   std::string_view paragraphEnd, ReverseCopy reverseCopy,
                   FindSpecial findSpecial) {
    std::size_t written = 0;
    for (;;) {
        const auto* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (cr == nullptr || cr + 1 == end)
            break;
        const auto length = static_cast<std::size_t>(cr - p);
        const std::size_t most = (form == LineForm::reversed ? length : 2 * length);
        if (most + paragraphEnd.size() > room - written)
            break;
        if (form == LineForm::reversed) {
            reverseCopy(p, length, out + written);
            written += length;
        } else {
            for (const char* from = p; from != cr;) {
                const char* special = findSpecial(from, cr);
                std::memcpy(out + written, from, static_cast<std::size_t>(special - from));
                written += static_cast<std::size_t>(special - from);
                if (special == cr)
                    break;
                out[written++] = '\\';
                out[written++] = *special;
                from = special + 1;
            }
        }
        std::memcpy(out + written, paragraphEnd.data(), paragraphEnd.size());
        written += paragraphEnd.size();
        p = cr[1] == '\n' ? cr + 2 : cr + 1;
    }
    return {p, written};
}

} // namespace orv::kernel_loops
