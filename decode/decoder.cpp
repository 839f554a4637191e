#include "decode/decoder.h"

#include "decode/byte_tables.h"
#include "decode/char_map.h"

#include <algorithm>
#include <array>
#include <memory>

namespace orv {
namespace {

constexpr std::size_t scratchSize = decodeBlockSize;

} // namespace

// Decoded lines are gathered in one block and handed to the sink a block at
// a time: short lines would otherwise cost two sink calls each.
void decodeInto(std::string_view content, ByteSink& sink) {
    const auto& table = translationTable();
    const auto& classes = byteClasses();
    const auto block = std::make_unique_for_overwrite<char[]>(scratchSize);
    std::size_t used = 0;
    const auto flush = [&] {
        if (used != 0)
            sink.write({block.get(), used});
        used = 0;
    };
    const auto* p = reinterpret_cast<const unsigned char*>(content.data());
    const auto* const end = p + content.size();
    bool tabAfter = false; // set by the 252 that opened the current segment
    for (;;) {
        const auto* brk = p;
        while (brk != end && classes[*brk] != breakByte)
            ++brk;
        // The segment back to front, fillers dropped, in pieces that fit.
        for (const auto* q = brk; q != p;) {
            if (used == scratchSize)
                flush();
            const std::size_t n = std::min<std::size_t>(scratchSize - used, q - p);
            char* out = block.get() + used;
            std::size_t kept = 0;
            for (const auto* stop = q - n; q != stop;) {
                const unsigned char b = *--q;
                out[kept] = table[b];
                kept += b != fillerByte;
            }
            used += kept;
        }
        if (scratchSize - used < 3)
            flush();
        if (tabAfter)
            block[used++] = '\t';
        block[used++] = '\r';
        block[used++] = '\n';
        if (brk == end)
            break;
        tabAfter = *brk == tabBreakCode;
        p = brk + 1;
    }
    flush();
}

std::string decodeContent(std::string_view content) {
    std::string decoded;
    decoded.reserve(content.size() + 2);
    StringSink sink(decoded);
    decodeInto(content, sink);
    return decoded;
}

} // namespace orv
