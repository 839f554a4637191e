#include "io/exact_names.h"

#include "io/held_folders.h"
#include "io/hidden_names.h"

#include <cerrno>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace orv {
namespace {

bool found(int folder, const char* name) {
    struct stat info {};
    return ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// The last folder read on this thread: a batch that replaces (or, with -u,
// checks) every output of a large folder on media that ignore case reads it
// once, not once an output. A name missing from it has the folder read again.
struct Listing {
    dev_t device = 0;
    ino_t inode = 0;
    std::unordered_set<std::string> names;
};
thread_local Listing lastListing;

bool readListing(int folder, Listing& listing) {
    listing.names.clear();
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* entries = ::fdopendir(fd);
    if (entries == nullptr) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = ::readdir(entries))
        listing.names.emplace(entry->d_name);
    ::closedir(entries);
    return true;
}

// Whether the folder open on folder lists name byte for byte.
bool listed(int folder, std::string_view name) {
    struct stat info {};
    if (::fstat(folder, &info) != 0)
        return false;
    Listing& listing = lastListing;
    const std::string wanted(name);
    if (listing.device == info.st_dev && listing.inode == info.st_ino &&
        listing.names.contains(wanted))
        return true;
    listing.device = info.st_dev;
    listing.inode = info.st_ino;
    if (!readListing(folder, listing)) {
        listing.inode = 0;
        return false;
    }
    return listing.names.contains(wanted);
}

std::string caseSwapped(std::string name, std::size_t from) {
    for (std::size_t i = from; i < name.size(); ++i) {
        char& c = name[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

} // namespace

NameHeld nameHeld(int folder, const char* name) {
    if (!found(folder, name))
        return NameHeld::absent;
    return foundNameHeld(folder, name);
}

NameHeld foundNameHeld(int folder, const char* name) {
    const std::string_view asked(name);
    const std::size_t start = asked.rfind('/') == std::string::npos ? 0 : asked.rfind('/') + 1;
    const std::string swapped = caseSwapped(name, start);
    // A name without letters, or a file system that tells case apart: the
    // name found is the one asked for.
    if (swapped == name || !found(folder, swapped.c_str()))
        return NameHeld::exactly;
    if (start == 0)
        return listed(folder, name) ? NameHeld::exactly : NameHeld::otherName;
    const std::string_view path(name);
    const std::string parent(path.substr(0, start == 1 ? 1 : start - 1));
    const int parentFd = ::openat(folder, parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return NameHeld::otherName;
    const bool exact = listed(parentFd, path.substr(start));
    ::close(parentFd);
    return exact ? NameHeld::exactly : NameHeld::otherName;
}

NameHeld nameHeld(const std::string& path) {
    return nameHeld(AT_FDCWD, path.c_str());
}

NameHeld foundNameHeld(const std::string& path) {
    return foundNameHeld(AT_FDCWD, path.c_str());
}

int folderIgnoresCase(const std::string& folder) {
    std::shared_ptr<const OpenFolder> held = heldFolder(FolderUse::outputs, folder);
    const int fd = held ? held->fd() : ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // "case" has letters whatever the rest: the swapped name always differs.
    const std::string prefix = hiddenNamePrefix("case");
    std::string name;
    const int made = tryRandomNames(prefix, name, [&](const std::string& hidden) {
        return ::openat(fd, hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    });
    int result = -1;
    int error = errno;
    if (made >= 0) {
        ::close(made);
        result = found(fd, caseSwapped(name, 0).c_str()) ? 1 : 0;
        ::unlinkat(fd, name.c_str(), 0);
    }
    if (!held)
        ::close(fd);
    errno = error;
    return result;
}

} // namespace orv
