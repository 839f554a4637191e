#include "decode/decoder.h"

#include "decode/char_map.h"

#include <algorithm>
#include <array>

namespace orv {
namespace {

// charMap with its empty entries filled by the byte itself.
constexpr std::size_t scratchSize = 64 * 1024;

const std::array<char, 256>& translationTable() {
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = static_cast<char>(charMap[b] == noTranslation ? b : charMap[b]);
        return t;
    }();
    return table;
}

// Writes segment [begin, end) translated and back to front, fillers dropped.
// Long segments go out in bounded pieces so memory does not grow with them.
void writeSegmentReversed(const unsigned char* begin, const unsigned char* end, char* scratch,
                          ByteSink& sink) {
    const auto& table = translationTable();
    std::size_t used = 0;
    for (const unsigned char* p = end; p != begin;) {
        const unsigned char b = *--p;
        if (b == fillerByte)
            continue;
        scratch[used++] = table[b];
        if (used == scratchSize) {
            sink.write({scratch, used});
            used = 0;
        }
    }
    if (used != 0)
        sink.write({scratch, used});
}

} // namespace

void decodeInto(std::string_view content, ByteSink& sink) {
    std::array<char, scratchSize> scratch;
    const auto* p = reinterpret_cast<const unsigned char*>(content.data());
    const auto* const end = p + content.size();
    bool tabAfter = false; // set by the 252 that opened the current segment
    for (;;) {
        const auto* brk = std::find_if(p, end, isBreakCode);
        writeSegmentReversed(p, brk, scratch.data(), sink);
        sink.write(tabAfter ? std::string_view("\t\r\n") : lineEnd);
        if (brk == end)
            return;
        tabAfter = *brk == tabBreakCode;
        p = brk + 1;
    }
}

std::string decodeContent(std::string_view content) {
    std::string decoded;
    decoded.reserve(content.size() + 2);
    StringSink sink(decoded);
    decodeInto(content, sink);
    return decoded;
}

} // namespace orv
