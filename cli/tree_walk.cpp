#include "cli/tree_walk.h"

#include "convert/convert_document.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace orv::cli {

namespace {

struct Entry {
    std::string name;
    bool isFolder;
};

// The entries of one folder, sorted, or the error that stopped the reading.
int readFolder(const std::string& path, std::vector<Entry>& entries) {
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr)
        return errno;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            // Some file systems leave the type out; a link still counts as no folder.
            struct stat status;
            isFolder =
                ::fstatat(::dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(status.st_mode);
        }
        entries.push_back({name, isFolder});
        errno = 0;
    }
    const int readError = errno;
    ::closedir(folder);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return readError;
}

void walkBelow(const std::string& top, const std::string& relative,
               const std::function<void(const std::string&)>& found,
               const std::function<void(const std::string&, int)>& failed) {
    const std::string folder = relative.empty() ? top : joinPath(top, relative);
    std::vector<Entry> entries;
    if (const int error = readFolder(folder, entries); error != 0)
        failed(folder, error);
    for (const Entry& entry : entries) {
        const std::string below = joinPath(relative, entry.name);
        if (entry.isFolder)
            walkBelow(top, below, found, failed);
        else if (isOrvDocumentName(entry.name))
            found(below);
    }
}

} // namespace

void walkTree(const std::string& top, const std::function<void(const std::string&)>& found,
              const std::function<void(const std::string&, int)>& failed) {
    walkBelow(top, "", found, failed);
}

std::string joinPath(const std::string& path, const std::string& name) {
    if (path.empty() || path.back() == '/')
        return path + name;
    return path + "/" + name;
}

} // namespace orv::cli
