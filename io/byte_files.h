#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace orv {

inline constexpr std::size_t ioBlockSize = std::size_t{1} << 20;

// Anything that takes bytes in order: an output file, or a string in memory.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
};

class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& target) : target_(target) {}
    void write(std::string_view bytes) override { target_.append(bytes); }

private:
    std::string& target_;
};

// A file opened for reading. Every failure throws ConversionError naming the
// path; the destructor closes a file that is still open.
class InputFile {
public:
    explicit InputFile(std::string path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Reads up to size bytes; 0 means the end of the file.
    std::size_t read(char* buffer, std::size_t size);
    void close();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::FILE* file_;
};

// A file created (or truncated) for writing, buffered here in large blocks.
// Write errors surface at write, flush or close and throw ConversionError;
// the destructor closes a file that is still open, dropping what a failed
// run had not yet written.
class OutputFile final : public ByteSink {
public:
    explicit OutputFile(std::string path);
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes) override {
        // The common case, inline: the bytes fit in the block.
        if (buffer_.size() + bytes.size() <= ioBlockSize)
            buffer_.append(bytes);
        else
            writeThrough(bytes);
    }
    // The bytes given, then CR LF.
    void writeLine(std::string_view bytes);
    // Flushes and closes; a failure here is as real as one in write().
    void close();
    const std::string& path() const { return path_; }

private:
    void flushBuffer();
    void writeThrough(std::string_view bytes);

    std::string path_;
    std::FILE* file_;
    std::string buffer_;
};

inline constexpr std::string_view lineEnd = "\r\n";

} // namespace orv
