#include "io/input_file.h"

#include "io/conversion_error.h"
#include "io/growing_file.h"
#include "io/held_folders.h"
#include "io/output_file.h"
#include "io/path_parts.h"
#include "io/run_context.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

InputFile::InputFile(std::string path, bool followLink) : path_(std::move(path)) {
    // Without O_NONBLOCK a FIFO would hold up the run until a writer came.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const std::size_t nameStart = nameStartOf(path_);
    bool byPath = true;
    if (const auto folder = heldFolder(FolderUse::sources, folderOf(path_, nameStart))) {
        fd_ = ::openat(folder->fd(), path_.c_str() + nameStart, flags);
        // Not there: the held folder may have been removed since, and
        // another made under its name. The path says.
        byPath = fd_ < 0 && errno == ENOENT;
        if (byPath)
            releaseHeldFolder(FolderUse::sources);
    }
    if (byPath)
        fd_ = ::open(path_.c_str(), flags);
    if (fd_ < 0)
        throwLastError(path_);
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd_);
        fd_ = -1;
        if (folder)
            throw ConversionError(path_, EISDIR);
        if (info.st_mode != 0)
            throw ConversionError(path_, "Not a regular file");
        throw ConversionError(path_, error);
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    permissions_ = info.st_mode & 07777;
    group_ = info.st_gid;
}

InputFile::InputFile(const OutputFile& written)
    : shownPath_(&written.temporaryPath()), fd_(written.fd_), owned_(false),
      size_(written.written_),
      permissions_(written.private_ && !written.unnamed_ ? 0600 : written.mode_) {
    if (written.growing_ && !written.growing_->finished())
        growing_ = written.growing_.get();
}

std::uint64_t InputFile::size() const {
    if (growing_ == nullptr)
        return size_;
    return growing_->finished() ? growing_->written() : UINT64_MAX;
}

std::size_t InputFile::readCopy(const char* copy, char* buffer, std::size_t size,
                                std::uint64_t offset) {
    const std::uint64_t length = growing_->written();
    const auto got = static_cast<std::size_t>(
        offset < length ? std::min<std::uint64_t>(size, length - offset) : 0);
    std::memcpy(buffer, copy + offset, got);
    noteBlockRead(got);
    return got;
}

InputFile::~InputFile() {
    if (fd_ >= 0 && owned_)
        ::close(fd_);
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
    if (growing_) {
        growing_->waitFor(offset_ + size);
        if (const char* copy = growing_->finishedCopy()) {
            const std::size_t got = readCopy(copy, buffer, size, offset_);
            offset_ += got;
            return got;
        }
    }
    ssize_t got;
    // pread, as a borrowed descriptor may be read by others at once.
    while ((got = ::pread(fd_, buffer, size, static_cast<off_t>(offset_))) < 0) {
        if (errno != EINTR)
            throwLastError(path());
    }
    offset_ += static_cast<std::uint64_t>(got);
    noteBlockRead(static_cast<std::size_t>(got));
    return static_cast<std::size_t>(got);
}

std::size_t InputFile::readAt(char* buffer, std::size_t size, std::uint64_t offset) {
    if (growing_) {
        growing_->waitFor(offset + size);
        if (const char* copy = growing_->finishedCopy())
            return readCopy(copy, buffer, size, offset);
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throwLastError(path());
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    noteBlockRead(done);
    return done;
}

void InputFile::close() {
    const int fd = fd_;
    fd_ = -1;
    if (owned_)
        closeOrThrow(fd, path());
}

} // namespace orv
