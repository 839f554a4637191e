#include "decode/source_decoder.h"

#include "io/background_writer.h"
#include "io/block_sizes.h"
#include "io/conversion_error.h"
#include "io/scratch_blocks.h"
#include "simd/byte_kernels.h"
#include "simd/byte_tables.h"
#include "simd/char_map.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orv {
using Byte = unsigned char;

// Writes decoded segments and line ends into a BackgroundWriter's block.
class SourceDecoder::Emitter {
public:
    explicit Emitter(ByteSink& sink) : out_(sink) {}

    // The segment bytes [first, last), back to front.
    void segment(const Byte* first, const Byte* last, bool crs, int before) {
        while (last != first) {
            const auto room = out_.room();
            const auto n = static_cast<std::size_t>(
                std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(room.size()), last - first));
            const Byte* from = last - n;
            const int byteBefore = from != first ? from[-1] : before;
            out_.commit(crs ? reverseTranslateSegment(from, last, room.data(), byteBefore)
                            : reverseTranslate(from, last, room.data()));
            last = from;
        }
    }

    // As many whole segments from p as the block has room for, with their
    // line ends; returns where they stop.
    const Byte* wholeSegments(const Byte* p, const Byte* end, bool& tabAfter) {
        const auto room = out_.room();
        const DecodedRun run = decodeWholeSegments(p, end, room.data(), room.size(), tabAfter);
        out_.commit(run.written);
        tabAfter = run.tabAfter;
        return run.next;
    }

    void lineEnd(bool tab) {
        char* out = out_.room(3).data();
        std::size_t n = 0;
        if (tab)
            out[n++] = '\t';
        out[n++] = '\r';
        out[n++] = '\n';
        out_.commit(n);
    }

    void finish() { out_.finish(); }

private:
    BackgroundWriter out_;
};

SourceDecoder::SourceDecoder(InputFile& source)
    : source_(source), input_(ScratchRole::input), block_(input_.as<Byte>()), pos_(block_),
      end_(block_) {
    // A file of no bytes has not even one line to read.
    if (!readMore())
        throw ConversionError(source_.path(), ENODATA);
}

// Keeps [pos_, end_), moved to the block's start, and reads after it; false
// at the end of the file. The block must not be full.
bool SourceDecoder::readMore() {
    const std::size_t keep = keepUnread(block_, pos_, end_, blockOffset_);
    const std::size_t asked = ioBlockSize - keep;
    const std::size_t got = source_.read(reinterpret_cast<char*>(block_) + keep, asked);
    end_ += got;
    bytesRead_ += got;
    // A regular file gives less than asked only at its end: once the size it
    // had when opened is reached, a short read spares the read that gives 0.
    atEof_ = got == 0 || (got < asked && bytesRead_ >= source_.size());
    return got != 0;
}

// The block is full of one unfinished segment: reads on, a whole block at a
// time, to the break byte that ends it. Returns that byte's place in the
// block, or end_ at the end of the file; the bytes passed over are read
// again later.
const Byte* SourceDecoder::findLongSegmentEnd(bool& crs) {
    const auto& classes = byteClasses();
    for (;;) {
        blockOffset_ += static_cast<std::size_t>(end_ - block_);
        pos_ = end_ = block_;
        if (!readMore())
            return end_;
        for (const Byte* scan = findBreakOrCr(pos_, end_); scan != end_;
             scan = findBreakOrCr(scan + 1, end_)) {
            if (classes[*scan] == breakByte)
                return scan;
            crs = true;
        }
    }
}

std::uint64_t SourceDecoder::decodeTo(ByteSink& sink) {
    const auto& classes = byteClasses();
    Emitter emit(sink);
    bool tabAfter = false; // set by the 252 that opened the current segment
    for (;;) {
        // Most segments lie whole in the block: they go in one call, and only
        // the one that does not (or does not fit) takes the steps below.
        pos_ = emit.wholeSegments(pos_, end_, tabAfter);
        const Byte* scan = pos_;
        bool crs = false;
        bool longSegment = false;
        std::uint64_t longStart = 0;
        for (;;) {
            // A segment that is empty (a break after a break) spares the call.
            if (scan != end_ && classes[*scan] == plainByte)
                scan = findBreakOrCr(scan, end_);
            if (scan != end_ && classes[*scan] == crByte) {
                crs = true;
                ++scan;
                continue;
            }
            if (scan != end_ || atEof_)
                break;
            if (pos_ == block_ && end_ == block_ + ioBlockSize) {
                longSegment = true;
                longStart = blockOffset_;
                scan = findLongSegmentEnd(crs);
                break;
            }
            const auto scanned = scan - pos_;
            readMore();
            scan = pos_ + scanned;
        }
        if (!longSegment) {
            emit.segment(pos_, scan, crs, -1);
        } else {
            // Back to front through the file, a block at a time; each piece
            // carries the byte before it, which decides a leading LF.
            const std::uint64_t stop = blockOffset_ + static_cast<std::size_t>(scan - block_);
            const ScratchBlock backward(ScratchRole::backward);
            Byte* back = backward.as<Byte>();
            for (std::uint64_t hi = stop; hi > longStart;) {
                const std::uint64_t lo =
                    hi - longStart > ioBlockSize - 1 ? hi - (ioBlockSize - 1) : longStart;
                const std::uint64_t from = lo > longStart ? lo - 1 : lo;
                const auto want = static_cast<std::size_t>(hi - from);
                // The file shrank under us: the bytes counted are gone.
                if (source_.readAt(reinterpret_cast<char*>(back), want, from) != want)
                    throw ConversionError(source_.path(), ENODATA);
                emit.segment(back + (lo - from), back + want, crs, lo > longStart ? back[0] : -1);
                hi = lo;
            }
        }
        emit.lineEnd(tabAfter);
        if (scan == end_)
            break; // only at the end of the file
        tabAfter = *scan == tabBreakCode;
        pos_ = scan + 1;
    }
    emit.lineEnd(false); // the decoded text file's closing CR LF
    emit.finish();
    return bytesRead_;
}

std::uint64_t decodeSourceToTextFile(InputFile& source, ByteSink& out) {
    return SourceDecoder(source).decodeTo(out);
}

std::uint64_t decodeSourceToTextFile(const std::string& sourcePath, const std::string& textPath) {
    InputFile source(sourcePath);
    SourceDecoder decoder(source);
    OutputFile text(textPath);
    const std::uint64_t size = decoder.decodeTo(text);
    text.close();
    source.close();
    return size;
}

} // namespace orv
