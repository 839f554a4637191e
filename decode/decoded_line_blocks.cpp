#include "decode/decoded_line_blocks.h"

#include "io/block_sizes.h"
#include "io/scratch_blocks.h"

#include <cstring>

namespace orv {

DecodedLineBlocks::DecodedLineBlocks(InputFile& file)
    : file_(file), input_(ScratchRole::input), block_(input_.get()), pos_(block_), end_(block_) {}

// Keeps [pos_, end_), moved to the block's start, and reads after it; false
// at the end of the file. The block must not be full.
bool DecodedLineBlocks::readMore() {
    const std::size_t keep = keepUnread(block_, pos_, end_, blockOffset_);
    const std::size_t asked = ioBlockSize - keep;
    const std::size_t got = file_.read(block_ + keep, asked);
    if (skipLf_ && got != 0) {
        // Only set when a CR ended the block, so nothing was kept.
        skipLf_ = false;
        if (*end_ == '\n')
            ++pos_;
    }
    end_ += got;
    // A regular file gives less than asked only at its end: once the size it
    // had when opened is reached, a short read spares the read that gives 0.
    atEof_ = got == 0 || (got < asked &&
                          blockOffset_ + static_cast<std::size_t>(end_ - block_) >= file_.size());
    return got != 0;
}

// Consumes the terminator that starts at cr.
void DecodedLineBlocks::takeLine(const char* cr) {
    pos_ = cr + 1;
    if (pos_ == end_)
        skipLf_ = true;
    else if (*pos_ == '\n')
        ++pos_;
}

// The block is full of one unfinished line: reads on, a whole block at a
// time, to its terminator; the bytes passed over are the caller's to read
// again.
bool DecodedLineBlocks::longLine(Line& line) {
    line.inBlock = false;
    line.begin = blockOffset_;
    for (;;) {
        blockOffset_ += static_cast<std::size_t>(end_ - block_);
        pos_ = end_ = block_;
        if (!readMore()) {
            line.end = blockOffset_;
            return true; // the last line had no terminator
        }
        if (const auto* cr = static_cast<const char*>(std::memchr(pos_, '\r', end_ - pos_))) {
            line.end = blockOffset_ + static_cast<std::size_t>(cr - block_);
            takeLine(cr);
            return true;
        }
    }
}

bool DecodedLineBlocks::next(Line& line) {
    std::size_t scanned = 0; // bytes of [pos_, end_) known to hold no CR
    for (;;) {
        const char* from = pos_ + scanned;
        // An empty line is common enough (every break byte after another) to
        // spare the call.
        const auto* cr = from != end_ && *from == '\r'
                             ? from
                             : static_cast<const char*>(
                                   std::memchr(from, '\r', static_cast<std::size_t>(end_ - from)));
        if (cr != nullptr) {
            line.inBlock = true;
            line.text = {pos_, static_cast<std::size_t>(cr - pos_)};
            takeLine(cr);
            return true;
        }
        scanned = static_cast<std::size_t>(end_ - pos_);
        if (atEof_) {
            if (scanned == 0)
                return false;
            line.inBlock = true;
            line.text = {pos_, scanned}; // the last line had no terminator
            pos_ = end_;
            return true;
        }
        if (scanned == ioBlockSize)
            return longLine(line);
        readMore();
    }
}

} // namespace orv
