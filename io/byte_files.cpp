#include "io/byte_files.h"

#include "io/conversion_error.h"

#include <cerrno>

namespace orv {
namespace {

std::FILE* openOrThrow(const std::string& path, const char* mode) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr)
        throwLastError(path);
    // Our own blocks are large; stdio's buffer would only add a copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

} // namespace

InputFile::InputFile(std::string path) : path_(std::move(path)), file_(openOrThrow(path_, "rb")) {}

InputFile::~InputFile() {
    if (file_ != nullptr)
        std::fclose(file_);
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, size, file_);
    if (got == 0 && std::ferror(file_))
        throwLastError(path_);
    return got;
}

void InputFile::close() {
    std::FILE* file = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fclose(file) != 0)
        throwLastError(path_);
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)), file_(openOrThrow(path_, "wb")) {
    buffer_.reserve(ioBlockSize);
}

OutputFile::~OutputFile() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void OutputFile::writeThrough(std::string_view bytes) {
    flushBuffer();
    if (bytes.size() >= ioBlockSize) {
        errno = 0;
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            throwLastError(path_);
        return;
    }
    buffer_.append(bytes);
}

void OutputFile::writeLine(std::string_view bytes) {
    write(bytes);
    write(lineEnd);
}

void OutputFile::flushBuffer() {
    if (buffer_.empty())
        return;
    errno = 0;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        throwLastError(path_);
    buffer_.clear();
}

void OutputFile::close() {
    flushBuffer();
    std::FILE* file = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fclose(file) != 0)
        throwLastError(path_);
}

} // namespace orv
