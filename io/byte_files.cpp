#include "io/byte_files.h"

#include "io/confined_folders.h"
#include "io/conversion_error.h"
#include "io/exact_names.h"
#include "io/file_modes.h"
#include "io/held_folders.h"
#include "io/hidden_names.h"
#include "io/run_context.h"
#include "io/scratch_blocks.h"
#include "io/temporary_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

// Where the last component of path starts.
std::size_t nameStartOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// Creates a new file in folder under prefix (relative to it) plus random
// letters, exclusively (so never through a link), with the mode it is to
// keep: unlike mkostemp's 0600, that needs no chmod afterwards. name receives
// the whole hidden path, prefixStart being where prefix's part relative to
// folder starts.
int createTemporary(int folder, const std::string& prefix, std::size_t prefixStart, int flags,
                    mode_t mode, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = randomHiddenName(prefix);
        const int fd = ::openat(folder, name.c_str() + prefixStart,
                                flags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1; // errno is EEXIST
}

// The group a new file in the folder open on folder gets: the folder's when
// it is setgid, else ours.
gid_t groupOfNewFileIn(int folder) {
    struct stat info {};
    if (::fstat(folder, &info) == 0 && (info.st_mode & S_ISGID) != 0)
        return info.st_gid;
    return ::getegid();
}

// The folder an output goes into, for a file without a name there, given
// where the output's own name starts in its path.
std::string_view folderOf(const std::string& path, std::size_t nameStart) {
    if (nameStart == 0)
        return ".";
    return nameStart == 1 ? "/" : std::string_view(path).substr(0, nameStart - 1);
}

std::atomic<bool> namedTemporariesOnly{false};

// How a file system (or a kernel) without files that have no name refuses one.
bool unnamedRefused(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Linking by descriptor needs a privilege most users lack; once refused, the
// descriptor's /proc name is used instead, which needs none.
std::atomic<bool> emptyPathRefused{false};

// Gives the unnamed file open on fd the name, which must not exist yet, in
// folder (AT_FDCWD: name is a path).
int linkUnnamed(int fd, int folder, const char* name) {
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT)
            return -1;
    }
    char procName[40];
    std::snprintf(procName, sizeof procName, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, procName, folder, name, AT_SYMLINK_FOLLOW) != 0)
        return -1;
    emptyPathRefused.store(true, std::memory_order_relaxed);
    return 0;
}

// Fails unless an existing file of that name may be replaced: one that we
// may not write is kept, as writing over it would fail. A link is judged by
// itself, since the rename replaces it.
// On a file system that ignores case, a file whose own name differs from
// the one asked for is another output's, and is not replaced either.
void checkReplaceable(int folder, const char* name, const std::string& path) {
    if (::faccessat(folder, name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0 && errno != ENOENT)
        throwLastError(path);
    if (nameHeld(folder, name) == NameHeld::otherName)
        throw ConversionError(path, EEXIST);
}

// Closes fd; a close that reports an error still releases it.
void closeOrThrow(int fd, const std::string& path) {
    if (::close(fd) != 0 && errno != EINTR)
        throwLastError(path);
}

} // namespace

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
    : path_(written.temporaryPath()), fd_(written.fd_), owned_(false), size_(written.written_),
      permissions_(written.private_ && !written.unnamed_ ? 0600 : written.mode_) {
    if (written.growing_ && !written.growing_->finished.load(std::memory_order_acquire))
        growing_ = written.growing_.get();
}

std::uint64_t InputFile::size() const {
    if (growing_ == nullptr)
        return size_;
    return growing_->finished.load(std::memory_order_acquire)
               ? growing_->written.load(std::memory_order_acquire)
               : UINT64_MAX;
}

// Until bytes up to end are written, or the file is finished.
void InputFile::waitFor(std::uint64_t end) {
    std::unique_lock lock(growing_->mutex);
    growing_->grown.wait(lock, [&] {
        return growing_->abandoned || growing_->finished.load(std::memory_order_relaxed) ||
               growing_->written.load(std::memory_order_relaxed) >= end;
    });
    if (growing_->abandoned)
        throw ConversionCancelled{};
}

const char* InputFile::finishedCopy() const {
    // Once finished, the writer no longer touches copy.
    if (!growing_->finished.load(std::memory_order_acquire))
        return nullptr;
    return growing_->copy;
}

std::size_t InputFile::readCopy(const char* copy, char* buffer, std::size_t size,
                                std::uint64_t offset) {
    const std::uint64_t length = growing_->written.load(std::memory_order_relaxed);
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
        waitFor(offset_ + size);
        if (const char* copy = finishedCopy()) {
            const std::size_t got = readCopy(copy, buffer, size, offset_);
            offset_ += got;
            return got;
        }
    }
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
    if (growing_) {
        waitFor(offset + size);
        if (const char* copy = finishedCopy())
            return readCopy(copy, buffer, size, offset);
    }
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
    : path_(std::move(path)), mode_(currentOutputMode()), source_(currentSourceIdentity()),
      private_(visibility == Visibility::privateUntilPublished) {
    // A private file is read back through the same descriptor.
    const int access = private_ ? O_RDWR : O_WRONLY;
    if (private_) {
        growing_ = std::make_unique<GrowingFile>();
        growing_->copy = growing_->copyBlock.emplace(ScratchRole::copy).get();
    }
    // Only the hidden file's name is made now: one too long must fail now,
    // as a file made under it would have.
    nameStart_ = nameStartOf(path_);
    if (path_.size() - nameStart_ > NAME_MAX)
        throw ConversionError(path_, ENAMETOOLONG);
    if (!namedTemporariesOnly.load(std::memory_order_relaxed)) {
        // A file without a name in the output's folder: nobody can open it,
        // nothing is left of it whatever ends the run, and it costs the
        // folder nothing until it is linked in under its final name.
        fd_ = openUnnamed(access);
        if (fd_ >= 0) {
            unnamed_ = true;
            live_ = true;
            keepFromForeignGroup();
            return;
        }
        const int error = errno;
        folder_.reset();
        // Where the file system (or the kernel) has no such files, a hidden name will do.
        if (!unnamedRefused(error))
            throw ConversionError(path_, error);
    }
    holdNamedFolder();
    const int folder = folder_->fd();
    // Where hidden names are used, a run killed may have left some: once a
    // folder, those whose process is gone are removed.
    removeLeftoversOnce(folder);
    checkReplaceable(folder, inFolder(path_), path_);
    // A named file may be opened by whoever its mode admits, so it is made
    // with the group's access already withheld where that is due.
    const mode_t mode =
        private_ ? 0600 : withoutForeignGroup(mode_, groupOfNewFileIn(folder), source_);
    fd_ = createTemporary(folder, hiddenNamePrefix(path_), nameStart_, access, mode, temporary_);
    if (fd_ < 0)
        throwLastError(path_);
    live_ = true;
    cleanupSlot_ = TemporaryFileList::remember(temporary_);
    if (!private_)
        keepFromForeignGroup();
}

void OutputFile::holdNamedFolder() {
    const std::string_view folder = folderOf(path_, nameStart_);
    // A folder held for the thread may since have been removed, and another
    // made under its name: unless outputs are confined (where nothing is
    // looked up by path), a named file's folder is opened afresh.
    if (isConfined(folder)) {
        folder_ = heldFolder(FolderUse::outputs, folder);
        return;
    }
    thread_local std::string path;
    path.assign(folder);
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throwLastError(path_);
    folder_ = std::make_shared<const OpenFolder>(fd);
}

void OutputFile::keepFromForeignGroup() {
    // Only a source closed to others can have an output more open than itself.
    if (!source_.known || (source_.mode & S_IROTH) != 0 || (mode_ & (S_IRGRP | S_IWGRP)) == 0)
        return;
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        throwLastError(path_);
    const mode_t now = info.st_mode & 07777;
    const mode_t wanted = withoutForeignGroup(now, info.st_gid, source_);
    if (wanted != now)
        setFileMode(fd_, wanted, path_);
}

int OutputFile::openUnnamed(int access) {
    const int flags = O_TMPFILE | access | O_CLOEXEC;
    const std::string_view folder = folderOf(path_, nameStart_);
    folder_ = heldFolder(FolderUse::outputs, folder);
    if (folder_) {
        const int fd = ::openat(folder_->fd(), ".", flags, mode_);
        if (fd >= 0 || unnamedRefused(errno))
            return fd;
        // The folder held open may have been removed since (a removed
        // folder takes no new files): whatever has its name now is the
        // folder meant.
        releaseHeldFolder(FolderUse::outputs);
        folder_.reset();
        if (isConfined(folder)) {
            folder_ = heldFolder(FolderUse::outputs, folder);
            return ::openat(folder_->fd(), ".", flags, mode_);
        }
    }
    thread_local std::string path;
    path.assign(folder);
    return ::open(path.c_str(), flags, mode_);
}

void OutputFile::useNamedTemporariesOnly(bool only) {
    namedTemporariesOnly.store(only, std::memory_order_relaxed);
}

OutputFile::~OutputFile() {
    if (live_)
        discard();
}

void OutputFile::writeAll(const char* data, std::size_t size) {
    if (growing_ && growing_->copy != nullptr) {
        if (written_ + size <= GrowingFile::copyBytes)
            std::memcpy(growing_->copy + written_, data, size);
        else
            growing_->copy = nullptr; // too large to keep: read back from the file
    }
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
    if (growing_) {
        const std::lock_guard lock(growing_->mutex);
        growing_->written.store(written_, std::memory_order_release);
        growing_->grown.notify_all();
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
    if (growing_) {
        const std::lock_guard lock(growing_->mutex);
        growing_->finished.store(true, std::memory_order_release);
        growing_->grown.notify_all();
    }
    // The file stays open until it is published: an unnamed file is linked
    // in through its descriptor, and any is flushed through it first.
}

void OutputFile::closeDescriptor() {
    const int fd = fd_;
    fd_ = -1;
    closeOrThrow(fd, path_);
}

void OutputFile::publish() {
    if (syncError_ != 0)
        throw ConversionError(path_, syncError_);
    if (unnamed_) {
        publishUnnamed();
        return;
    }
    const int folder = folder_->fd();
    if (fd_ >= 0) {
        if (private_) {
            // Still open from being read back, and 0600: it takes the mode a
            // new file of the output's mode gets in this folder from the
            // kernel (the umask, or the folder's default ACL).
            struct stat info {};
            if (::fstat(fd_, &info) != 0)
                throwLastError(path_);
            const mode_t mode =
                modeOfNewFile(folder, hiddenNamePrefix(path_).substr(nameStart_), mode_, path_);
            setFileMode(fd_, withoutForeignGroup(mode, info.st_gid, source_), path_);
        }
        closeDescriptor();
    }
    if (nameHeld(folder, inFolder(path_)) == NameHeld::otherName)
        throw ConversionError(path_, EEXIST);
    if (::renameat(folder, inFolder(temporary_), folder, inFolder(path_)) != 0)
        throwLastError(path_);
    live_ = false;
    folder_.reset();
    TemporaryFileList::forget(cleanupSlot_);
}

void OutputFile::publishUnnamed() {
    // Written out completely by now: write() has reported every error that a
    // local file system gives, and those are the only ones with such files.
    int folder = folder_ ? folder_->fd() : AT_FDCWD;
    int named = linkUnnamed(fd_, folder, inFolder(path_));
    if (named != 0 && errno != EEXIST && folder_) {
        // The held folder may have been removed since the file was made in
        // it: the path says where the output goes.
        releaseHeldFolder(FolderUse::outputs);
        folder_.reset();
        const std::string_view folderPath = folderOf(path_, nameStart_);
        if (isConfined(folderPath)) {
            folder_ = heldFolder(FolderUse::outputs, folderPath);
            folder = folder_->fd();
        } else {
            folder = AT_FDCWD;
        }
        named = linkUnnamed(fd_, folder, inFolder(path_));
    }
    if (named != 0) {
        if (errno != EEXIST)
            throwLastError(path_);
        // The name is taken: linked in under a hidden name first, then renamed
        // over it, so that the name never holds anything but a whole file.
        checkReplaceable(folder, inFolder(path_), path_);
        const std::string prefix = hiddenNamePrefix(path_);
        std::string hidden;
        bool linked = false;
        for (int attempt = 0; attempt < 100 && !linked; ++attempt) {
            hidden = randomHiddenName(prefix);
            linked = linkUnnamed(fd_, folder, inFolder(hidden)) == 0;
            if (!linked && errno != EEXIST)
                break;
        }
        if (!linked)
            throwLastError(path_);
        const int slot = TemporaryFileList::remember(hidden);
        const int renamed = ::renameat(folder, inFolder(hidden), folder, inFolder(path_));
        const int error = errno;
        if (renamed != 0)
            ::unlinkat(folder, inFolder(hidden), 0);
        TemporaryFileList::forget(slot);
        if (renamed != 0)
            throw ConversionError(path_, error);
    }
    closeDescriptor();
    live_ = false;
    folder_.reset();
}

void OutputFile::releaseReaders() {
    if (!growing_)
        return;
    const std::lock_guard lock(growing_->mutex);
    if (!growing_->finished.load(std::memory_order_relaxed))
        growing_->abandoned = true;
    growing_->grown.notify_all();
}

void OutputFile::readersDone() {
    if (!growing_)
        return;
    growing_->copy = nullptr;
    growing_->copyBlock.reset();
}

void OutputFile::discard() {
    releaseReaders();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    live_ = false;
    if (!unnamed_) {
        ::unlinkat(folder_ ? folder_->fd() : AT_FDCWD, inFolder(temporary_), 0);
        TemporaryFileList::forget(cleanupSlot_);
    }
    folder_.reset(); // an unnamed file is gone with its descriptor
}

void removeIfPresent(const std::string& path) {
    // Below the folder outputs are confined to, through the folder reached
    // without links, as the outputs themselves.
    const std::size_t nameStart = nameStartOf(path);
    if (const std::string_view folder = folderOf(path, nameStart); isConfined(folder)) {
        const auto held = heldFolder(FolderUse::outputs, folder);
        if (::unlinkat(held->fd(), path.c_str() + nameStart, 0) != 0 && errno != ENOENT)
            throwLastError(path);
        return;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throwLastError(path);
}

} // namespace orv
