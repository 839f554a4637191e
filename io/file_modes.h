#pragma once

#include "io/run_context.h"

#include <string>
#include <sys/types.h>

namespace orv {

// Gives the file open on fd the permission bits wanted. Nothing is done when
// it has them already; a file system that cannot change a file's mode
// (ENOSYS, EOPNOTSUPP, EPERM on FAT and the like) is accepted when the mode it
// shows grants group and others no access beyond the wanted mode. Failures
// name path.
void setFileMode(int fd, mode_t wanted, const std::string& path);

// The permission bits a new file made with mode in the folder open on
// folderFd gets from the kernel (the umask, or the folder's default ACL),
// found by making one hidden file there and removing it again. Kept for the
// last folder and mode asked on each thread. prefix is the hidden name to make
// it under (plus random letters), relative to folderFd.
mode_t modeOfNewFile(int folderFd, const std::string& prefix, mode_t mode, const std::string& path);

// mode less the group's read and write access when the output's group
// (fileGroup) is not the source's and the source is not readable by all: a
// setgid folder, or a file system that gives files a group of its own, would
// otherwise open the output to a group the source was closed to. source is
// the run's, as its outputs were made: they may take their names after it.
mode_t withoutForeignGroup(mode_t mode, gid_t fileGroup, const SourceIdentity& source);

} // namespace orv
