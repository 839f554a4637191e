#include "decode/decoded_text_file.h"

#include "decode/decoder.h"
#include "io/conversion_error.h"

#include <cerrno>
#include <cstring>

namespace orv {

void writeDecodedTextFile(const std::string& path, std::string_view decodedText) {
    OutputFile out(path);
    out.writeLine(decodedText);
    out.close();
}

void decodeToTextFile(std::string_view content, ByteSink& out) {
    decodeInto(content, out);
    out.write(lineEnd);
}

void decodeToTextFile(std::string_view content, const std::string& path) {
    OutputFile out(path);
    decodeToTextFile(content, out);
    out.close();
}

DecodedLineReader::DecodedLineReader(const std::string& path)
    : file_(path), block_(std::make_unique_for_overwrite<char[]>(ioBlockSize)) {}

DecodedLineReader openDecodedLines(const std::string& path) {
    return DecodedLineReader(path);
}

bool DecodedLineReader::fill() {
    const std::size_t got = file_.read(block_.get(), ioBlockSize);
    pos_ = block_.get();
    end_ = pos_ + got;
    if (skipLf_ && pos_ != end_) {
        skipLf_ = false;
        if (*pos_ == '\n')
            ++pos_;
    }
    return got != 0;
}

bool DecodedLineReader::atEnd() {
    while (pos_ == end_) {
        if (!fill())
            return true;
    }
    return false;
}

std::string_view DecodedLineReader::readLine() {
    if (atEnd())
        throw ConversionError(file_.path(), ENODATA);
    carry_.clear();
    bool split = false;
    for (;;) {
        const auto* cr = static_cast<const char*>(std::memchr(pos_, '\r', end_ - pos_));
        if (cr != nullptr) {
            const std::string_view piece(pos_, cr - pos_);
            pos_ = cr + 1;
            if (pos_ == end_)
                skipLf_ = true;
            else if (*pos_ == '\n')
                ++pos_;
            if (!split)
                return piece;
            carry_.append(piece);
            return carry_;
        }
        carry_.append(pos_, end_);
        split = true;
        pos_ = end_;
        if (!fill())
            return carry_; // the last line had no terminator
    }
}

} // namespace orv
