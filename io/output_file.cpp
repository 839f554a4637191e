#include "io/output_file.h"

#include "io/confined_folders.h"
#include "io/conversion_error.h"
#include "io/durable_outputs.h"
#include "io/exact_names.h"
#include "io/file_modes.h"
#include "io/held_folders.h"
#include "io/hidden_names.h"
#include "io/path_parts.h"
#include "io/run_context.h"
#include "io/temporary_files.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

// Creates a new file in folder under prefix (relative to it) plus random
// letters, exclusively (so never through a link), with the mode it is to
// keep: unlike mkostemp's 0600, that needs no chmod afterwards. name receives
// the whole hidden path, prefixStart being where prefix's part relative to
// folder starts.
int createTemporary(int folder, const std::string& prefix, std::size_t prefixStart, int flags,
                    mode_t mode, std::string& name) {
    return tryRandomNames(prefix, name, [&](const std::string& hidden) {
        return ::openat(folder, hidden.c_str() + prefixStart, flags | O_CREAT | O_EXCL | O_CLOEXEC,
                        mode);
    });
}

// The group a new file in the folder open on folder gets: the folder's when
// it is setgid, else ours.
gid_t groupOfNewFileIn(int folder) {
    struct stat info {};
    if (::fstat(folder, &info) == 0 && (info.st_mode & S_ISGID) != 0)
        return info.st_gid;
    return ::getegid();
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

} // namespace

OutputFile::OutputFile(std::string path, Visibility visibility)
    : path_(std::move(path)), mode_(currentOutputMode()), source_(currentSourceIdentity()),
      private_(visibility == Visibility::privateUntilPublished) {
    // A private file is read back through the same descriptor.
    const int access = private_ ? O_RDWR : O_WRONLY;
    if (private_)
        growing_ = std::make_unique<GrowingFile>();
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

bool OutputFile::folderDevice(dev_t& device) const {
    // Made in the folder held open: on its file system, whatever has the
    // folder's name by now.
    return folder_ && folder_->device(device);
}

void OutputFile::useNamedTemporariesOnly(bool only) {
    namedTemporariesOnly.store(only, std::memory_order_relaxed);
}

OutputFile::~OutputFile() {
    if (live_)
        discard();
}

void OutputFile::writeAll(const char* data, std::size_t size) {
    for (std::size_t left = size; left != 0;) {
        const ssize_t done = ::write(fd_, data + (size - left), left);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) // a write of nothing gives no reason: throwLastError says EIO
            throwLastError(path_);
        left -= static_cast<std::size_t>(done);
        written_ += static_cast<std::uint64_t>(done);
    }
    if (growing_)
        growing_->append(data, size);
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
    if (growing_)
        growing_->finish();
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
    releaseFolder();
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
        if (tryRandomNames(prefix, hidden, [&](const std::string& name) {
                return linkUnnamed(fd_, folder, inFolder(name));
            }) != 0)
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
    releaseFolder();
}

void OutputFile::releaseFolder() {
    // The file system its name is on is that of the folder it was linked or
    // renamed in, which is known once per folder held open.
    namedDeviceKnown_ = folder_ && outputsSynced() && folder_->device(namedDevice_);
    folder_.reset();
}

void OutputFile::releaseReaders() {
    if (growing_)
        growing_->abandon();
}

void OutputFile::readersDone() {
    if (growing_)
        growing_->dropCopy();
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
