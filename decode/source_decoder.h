#pragma once

#include "io/byte_files.h"
#include "io/scratch_blocks.h"

#include <cstdint>
#include <string>

namespace orv {

// Decodes a source document from its file, a block at a time, into the
// decoded text file's bytes, without holding the content or the decoded
// text. The content is the source's lines joined (a line ends at CR or CR
// LF; a lone LF is data); each segment between break codes is translated
// through charMap and reversed, and ended by CR LF (a TAB first after a
// 252); one more CR LF closes the file. A segment longer than a block is
// found by reading on, then read again back to front, so memory stays at a
// few blocks whatever the source holds.
class SourceDecoder {
public:
    // Reads the first block. A source of no bytes at all throws
    // ConversionError (ENODATA) naming it, before anything is written.
    explicit SourceDecoder(InputFile& source);
    SourceDecoder(const SourceDecoder&) = delete;
    SourceDecoder& operator=(const SourceDecoder&) = delete;

    // Writes the decoded text and the closing CR LF to out; returns the
    // number of source bytes read. Read failures throw ConversionError
    // naming the source; out's own failures pass through.
    std::uint64_t decodeTo(ByteSink& out);

private:
    class Emitter;
    bool readMore();
    const unsigned char* findLongSegmentEnd(bool& crs);

    InputFile& source_;
    ScratchBlock input_;
    unsigned char* block_;
    const unsigned char* pos_;
    const unsigned char* end_;
    std::uint64_t blockOffset_ = 0; // where block_[0] stands in the file
    std::uint64_t bytesRead_ = 0;
    bool atEof_ = false;
};

// SourceDecoder(source).decodeTo(out).
std::uint64_t decodeSourceToTextFile(InputFile& source, ByteSink& out);

// Decodes sourcePath into a new decoded text file at textPath, which is
// created only once the source has shown that it holds bytes. Returns the
// source's size in bytes.
std::uint64_t decodeSourceToTextFile(const std::string& sourcePath, const std::string& textPath);

} // namespace orv
