#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace orv {

class GrowingFile;
class OutputFile;

// A regular file opened for reading. Anything else (a folder, a FIFO, a
// device, a link to one) is refused at once, without blocking on it. Every
// failure throws ConversionError naming the path; the destructor closes a
// file that is still open. Each block read is reported to the run's context.
class InputFile {
public:
    // Without followLink, a link under path's last name is refused (ELOOP).
    explicit InputFile(std::string path, bool followLink = true);
    // The bytes written to a private OutputFile, read through its own
    // descriptor from the start (no second open), or from memory when it
    // is small and finished. Several readers, on
    // several threads, may read one file at once; the file stays open
    // until its owner publishes or discards it. A reader made before the
    // file is finished waits for the bytes it asks for; should the writer
    // give up, it throws ConversionCancelled.
    explicit InputFile(const OutputFile& written);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Reads up to size bytes; 0 means the end of the file.
    std::size_t read(char* buffer, std::size_t size);
    // Reads up to size bytes at offset, fewer only at the end of the file.
    std::size_t readAt(char* buffer, std::size_t size, std::uint64_t offset);
    void close();
    const std::string& path() const { return *shownPath_; }
    // The size and permission bits when the file was opened; a file still
    // being written has no size yet (the largest value) until it is finished.
    std::uint64_t size() const;
    // How many bytes read() has given so far: what was really read of a
    // file that changed size meanwhile.
    std::uint64_t bytesRead() const { return offset_; }
    mode_t permissions() const { return permissions_; }
    // The file's group when it was opened.
    gid_t group() const { return group_; }

private:
    std::string path_; // a file opened by path
    // path_, or the name of the OutputFile read back, which outlives its
    // readers: no copy of it for each one.
    const std::string* shownPath_ = &path_;
    int fd_;
    bool owned_ = true;        // ours to close
    std::uint64_t offset_ = 0; // where read() goes on
    std::uint64_t size_ = 0;
    GrowingFile* growing_ = nullptr; // the file's progress, while it is written

    std::size_t readCopy(const char* copy, char* buffer, std::size_t size, std::uint64_t offset);
    mode_t permissions_ = 0;
    gid_t group_ = 0;
};

} // namespace orv
