#include "io/byte_files.h"

#include "io/conversion_error.h"
#include "io/run_context.h"
#include "io/temporary_files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

// Leaves room for ".", the suffix and ".XXXXXX" within a 255-byte name.
constexpr std::size_t keptNameBytes = 200;

// "dir/.name.XXXXXX": hidden, beside the output, and named for it.
std::string temporaryPrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameStart) + "." + path.substr(nameStart, keptNameBytes) + ".";
}

// Creates a new file under prefix plus six random letters, exclusively (so
// never through a link), with the mode it is to keep: unlike mkostemp's
// 0600, that needs no chmod afterwards.
int createTemporary(const std::string& prefix, int flags, mode_t mode, std::string& name) {
    static constexpr char letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix;
        std::uint64_t bits = random();
        for (int i = 0; i < 6; ++i, bits /= 62)
            name.push_back(letters[bits % 62]);
        const int fd = ::open(name.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1; // errno is EEXIST
}

// Closes fd; a close that reports an error still releases it.
void closeOrThrow(int fd, const std::string& path) {
    if (::close(fd) != 0 && errno != EINTR)
        throwLastError(path);
}

} // namespace

InputFile::InputFile(std::string path) : path_(std::move(path)) {
    // Without O_NONBLOCK a FIFO would hold up the run until a writer came.
    fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
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
}

InputFile::InputFile(const OutputFile& written)
    : path_(written.temporary_), fd_(written.fd_), owned_(false), size_(written.written_),
      permissions_(written.private_ ? 0600 : written.mode_) {}

InputFile::~InputFile() {
    if (fd_ >= 0 && owned_)
        ::close(fd_);
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
    ssize_t got;
    // pread, as a borrowed descriptor may be read by others at once.
    while ((got = ::pread(fd_, buffer, size, static_cast<off_t>(offset_))) < 0) {
        if (errno != EINTR)
            throwLastError(path_);
    }
    offset_ += static_cast<std::uint64_t>(got);
    noteBlockRead(static_cast<std::size_t>(got));
    return static_cast<std::size_t>(got);
}

std::size_t InputFile::readAt(char* buffer, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throwLastError(path_);
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
        closeOrThrow(fd, path_);
}

OutputFile::OutputFile(std::string path, Visibility visibility)
    : path_(std::move(path)), mode_(currentOutputMode()),
      private_(visibility == Visibility::privateUntilPublished) {
    // A file of that name that we may not write is kept, as writing over it
    // would fail; a link is judged by itself, since the rename replaces it.
    if (::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0 &&
        errno != ENOENT)
        throwLastError(path_);
    // A private file is read back through the same descriptor.
    fd_ = private_ ? createTemporary(temporaryPrefix(path_), O_RDWR, 0600, temporary_)
                   : createTemporary(temporaryPrefix(path_), O_WRONLY, mode_, temporary_);
    if (fd_ < 0)
        throwLastError(path_);
    live_ = true;
    cleanupSlot_ = TemporaryFileList::remember(temporary_);
}

OutputFile::~OutputFile() {
    if (live_)
        discard();
}

void OutputFile::writeAll(const char* data, std::size_t size) {
    while (size != 0) {
        const ssize_t done = ::write(fd_, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) // a write of nothing gives no reason: throwLastError says EIO
            throwLastError(path_);
        data += done;
        size -= static_cast<std::size_t>(done);
        written_ += static_cast<std::uint64_t>(done);
    }
}

void OutputFile::writeThrough(std::string_view bytes) {
    flushBuffer();
    if (bytes.size() >= directWriteBytes)
        writeAll(bytes.data(), bytes.size());
    else
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
    writeAll(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void OutputFile::close() {
    finish();
    publish();
}

void OutputFile::finish() {
    flushBuffer();
    if (!private_)
        closeDescriptor();
}

void OutputFile::closeDescriptor() {
    const int fd = fd_;
    fd_ = -1;
    closeOrThrow(fd, path_);
}

void OutputFile::publish() {
    if (private_ && fd_ >= 0) {
        // Still open from being read back.
        if (::fchmod(fd_, mode_) != 0)
            throwLastError(path_);
        closeDescriptor();
    } else if (private_ && ::chmod(temporary_.c_str(), mode_) != 0) {
        throwLastError(path_);
    }
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        throwLastError(path_);
    live_ = false;
    TemporaryFileList::forget(cleanupSlot_);
}

void OutputFile::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    live_ = false;
    ::unlink(temporary_.c_str());
    TemporaryFileList::forget(cleanupSlot_);
}

void removeIfPresent(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throwLastError(path);
}

} // namespace orv
