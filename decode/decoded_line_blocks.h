#pragma once

#include "io/byte_files.h"
#include "io/scratch_blocks.h"

#include <cstdint>
#include <string_view>

namespace orv {

// Reads a decoded text file for the writers: its lines one at a time, each
// a view into the block just read, never copied out. A line longer than a
// block comes as its place in the file instead, for the writer to read
// again in pieces, so memory stays at a block whatever the file holds. The
// line rule is the source's: a line ends at CR or CR LF, a lone LF and a
// TAB are ordinary bytes, the last line may lack a terminator.
class DecodedLineBlocks {
public:
    struct Line {
        bool inBlock = true;
        std::string_view text;   // the line, when inBlock
        std::uint64_t begin = 0; // otherwise the file offsets of its bytes
        std::uint64_t end = 0;
    };

    // Reads nothing yet. Holds the thread's input scratch block.
    explicit DecodedLineBlocks(InputFile& file);
    DecodedLineBlocks(const DecodedLineBlocks&) = delete;
    DecodedLineBlocks& operator=(const DecodedLineBlocks&) = delete;

    // The next line, valid until the next call; false once every byte,
    // terminators included, has been consumed.
    bool next(Line& line);

    // The bytes read but not yet taken as lines, for a caller that takes
    // whole lines itself; skipTo(p) takes those before p, which must be the
    // start of a line.
    std::string_view unread() const { return {pos_, static_cast<std::size_t>(end_ - pos_)}; }
    void skipTo(const char* p) { pos_ = p; }

private:
    bool readMore();
    void takeLine(const char* cr);
    bool longLine(Line& line);

    InputFile& file_;
    ScratchBlock input_;
    char* block_;
    const char* pos_;
    const char* end_;
    std::uint64_t blockOffset_ = 0; // where block_[0] stands in the file
    bool atEof_ = false;
    bool skipLf_ = false; // the last block ended in CR: an LF opening the next is its partner
};

} // namespace orv
