#include "writers/line_copies.h"

#include "io/block_sizes.h"
#include "io/conversion_error.h"
#include "io/scratch_blocks.h"
#include "simd/byte_kernels.h"

#include <algorithm>
#include <cerrno>

namespace orv {
namespace {

// A piece of a line through the escaper, straight into the writer's room.
void escapeRtf(std::string_view text, BackgroundWriter& out) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        const auto room = out.room(rtfEscapeBytes);
        const std::size_t fits = room.size() / rtfEscapeBytes;
        const char* const bound = static_cast<std::size_t>(end - p) > fits ? p + fits : end;
        const EscapedRun run = orv::escapeRtf(p, bound, room.data());
        out.commit(run.written);
        // A line holds no CR; should one come, it is left out, as a line end
        // would be.
        p = run.next == bound ? bound : run.next + 1;
    }
}

void reverse(std::string_view text, BackgroundWriter& out) {
    while (!text.empty()) {
        const auto room = out.room();
        const std::size_t n = std::min(room.size(), text.size());
        reverseCopy(text.data() + text.size() - n, n, room.data());
        out.commit(n);
        text.remove_suffix(n);
    }
}

// Bytes [from, from + size) of the decoded text file, which were there when
// the line was found, into block; a file that shrank since has lost them.
std::string_view readAgain(InputFile& text, std::uint64_t from, std::size_t size,
                           const ScratchBlock& backward) {
    char* block = backward.get();
    if (text.readAt(block, size, from) != size)
        throw ConversionError(text.path(), ENODATA);
    return {block, size};
}

void writeRtfEscaped(const DecodedLineBlocks::Line& line, InputFile& text, BackgroundWriter& out) {
    if (line.inBlock)
        return escapeRtf(line.text, out);
    const ScratchBlock backward(ScratchRole::backward);
    for (std::uint64_t at = line.begin; at < line.end;) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(ioBlockSize, line.end - at));
        escapeRtf(readAgain(text, at, n, backward), out);
        at += n;
    }
}

void writeReversed(const DecodedLineBlocks::Line& line, InputFile& text, BackgroundWriter& out) {
    if (line.inBlock)
        return reverse(line.text, out);
    const ScratchBlock backward(ScratchRole::backward);
    for (std::uint64_t at = line.end; at > line.begin;) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(ioBlockSize, at - line.begin));
        at -= n;
        reverse(readAgain(text, at, n, backward), out);
    }
}

} // namespace

void writeParagraphs(InputFile& text, BackgroundWriter& out, LineForm form,
                     std::string_view paragraphEnd) {
    DecodedLineBlocks lines(text);
    DecodedLineBlocks::Line line;
    if (!lines.next(line))
        throw ConversionError(text.path(), ENODATA);
    for (;;) {
        // Most lines lie whole in the block: they go in one call, and only
        // the one that does not (or does not fit) is taken line by line.
        const auto unread = lines.unread();
        const auto room = out.room();
        const LineRun run = writeWholeLines(unread.data(), unread.data() + unread.size(),
                                            room.data(), room.size(), form, paragraphEnd);
        out.commit(run.written);
        lines.skipTo(run.next);
        if (!lines.next(line))
            break;
        if (form == LineForm::reversed)
            writeReversed(line, text, out);
        else
            writeRtfEscaped(line, text, out);
        out.write(paragraphEnd);
    }
}

} // namespace orv
