#pragma once

#include "io/byte_files.h"

#include <memory>
#include <string>
#include <string_view>

namespace orv {

// Creates (or replaces) path holding the decoded text and one more CR LF.
void writeDecodedTextFile(const std::string& path, std::string_view decodedText);

// Decodes content straight into the decoded text file: the same bytes as
// writeDecodedTextFile(path, decodeContent(content)), without holding the
// decoded text in memory.
void decodeToTextFile(std::string_view content, const std::string& path);
// The same bytes handed to out, which the caller closes.
void decodeToTextFile(std::string_view content, ByteSink& out);

// Reads a decoded text file back line by line. A line ends at CR or CR LF
// and the terminator is not part of it; a lone LF and a TAB are ordinary
// bytes. Failures throw ConversionError naming the path.
class DecodedLineReader {
public:
    explicit DecodedLineReader(const std::string& path);

    // True once every byte, terminators included, has been consumed.
    bool atEnd();
    // The next line; valid until the next call. Reading past the end fails.
    std::string_view readLine();
    void close() { file_.close(); }

private:
    bool fill();

    InputFile file_;
    std::unique_ptr<char[]> block_;
    const char* pos_ = nullptr;
    const char* end_ = nullptr;
    bool skipLf_ = false; // the last block ended in CR: an LF opening the next is its partner
    std::string carry_;   // a line split across blocks
};

DecodedLineReader openDecodedLines(const std::string& path);

} // namespace orv
