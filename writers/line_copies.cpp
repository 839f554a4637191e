#include "writers/line_copies.h"

#include "io/block_sizes.h"
#include "io/conversion_error.h"
#include "io/scratch_blocks.h"

#include <algorithm>
#include <cerrno>

namespace orv {
namespace {

void escapeRtf(std::string_view text, BackgroundWriter& out) {
    while (!text.empty()) {
        // Every byte may take two.
        const auto room = out.room(2);
        const std::size_t n = std::min(room.size() / 2, text.size());
        char* o = room.data();
        for (const char c : text.substr(0, n)) {
            if (c == '\\' || c == '{' || c == '}') [[unlikely]]
                *o++ = '\\';
            *o++ = c;
        }
        out.commit(static_cast<std::size_t>(o - room.data()));
        text.remove_prefix(n);
    }
}

void reverse(std::string_view text, BackgroundWriter& out) {
    while (!text.empty()) {
        const auto room = out.room();
        const std::size_t n = std::min(room.size(), text.size());
        std::reverse_copy(text.end() - n, text.end(), room.data());
        out.commit(n);
        text.remove_suffix(n);
    }
}

// Bytes [from, from + size) of the decoded text file, which were there when
// the line was found; a file that shrank since has lost them.
std::string_view readAgain(InputFile& text, std::uint64_t from, std::size_t size) {
    char* block = scratchBlock(ScratchRole::backward);
    if (text.readAt(block, size, from) != size)
        throw ConversionError(text.path(), ENODATA);
    return {block, size};
}

} // namespace

void writeRtfEscaped(const DecodedLineBlocks::Line& line, InputFile& text, BackgroundWriter& out) {
    if (line.inBlock)
        return escapeRtf(line.text, out);
    for (std::uint64_t at = line.begin; at < line.end;) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(ioBlockSize, line.end - at));
        escapeRtf(readAgain(text, at, n), out);
        at += n;
    }
}

void writeReversed(const DecodedLineBlocks::Line& line, InputFile& text, BackgroundWriter& out) {
    if (line.inBlock)
        return reverse(line.text, out);
    for (std::uint64_t at = line.end; at > line.begin;) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(ioBlockSize, at - line.begin));
        at -= n;
        reverse(readAgain(text, at, n), out);
    }
}

} // namespace orv
