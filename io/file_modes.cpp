#include "io/file_modes.h"

#include "io/conversion_error.h"
#include "io/hidden_names.h"
#include "io/run_context.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

// How a file system without modes of its own per file refuses a change.
bool modesUnsupported(int error) {
    return error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

} // namespace

void setFileMode(int fd, mode_t wanted, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throwLastError(path);
    const mode_t now = info.st_mode & 07777;
    if (now == wanted)
        return;
    if (::fchmod(fd, wanted) == 0)
        return;
    const int error = errno;
    if (modesUnsupported(error) && (now & 077 & ~wanted) == 0)
        return;
    throw ConversionError(path, error);
}

mode_t modeOfNewFile(int folderFd, const std::string& prefix, mode_t mode,
                     const std::string& path) {
    struct Known {
        dev_t device = 0;
        ino_t inode = 0;
        mode_t asked = 0, got = 0;
        bool valid = false;
    };
    thread_local Known known;
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0)
        throwLastError(path);
    if (known.valid && known.device == folder.st_dev && known.inode == folder.st_ino &&
        known.asked == mode)
        return known.got;
    std::string name;
    const int fd = tryRandomNames(prefix, name, [&](const std::string& hidden) {
        return ::openat(folderFd, hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    });
    if (fd < 0)
        throwLastError(path);
    struct stat made {};
    const int status = ::fstat(fd, &made);
    const int error = errno;
    ::unlinkat(folderFd, name.c_str(), 0);
    ::close(fd);
    if (status != 0)
        throw ConversionError(path, error);
    known = {folder.st_dev, folder.st_ino, mode, static_cast<mode_t>(made.st_mode & 07777), true};
    return known.got;
}

mode_t withoutForeignGroup(mode_t mode, gid_t fileGroup, const SourceIdentity& source) {
    if (!source.known || fileGroup == source.group || (source.mode & S_IROTH) != 0)
        return mode;
    return mode & ~static_cast<mode_t>(S_IRGRP | S_IWGRP);
}

} // namespace orv
