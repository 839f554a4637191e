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

enum class Kind { folder, link, other };

struct Entry {
    std::string name;
    Kind kind;
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
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            // Some file systems leave the type out.
            struct stat status;
            if (::fstatat(::dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISLNK(status.st_mode) ? DT_LNK : DT_REG;
        }
        entries.push_back({name, type == DT_DIR   ? Kind::folder
                                 : type == DT_LNK ? Kind::link
                                                  : Kind::other});
        errno = 0;
    }
    const int readError = errno;
    ::closedir(folder);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return readError;
}

class Walk {
public:
    Walk(const std::string& top, bool followLinks,
         const std::function<void(const std::string&, bool)>& found,
         const std::function<void(const std::string&, int)>& failed)
        : top_(top), followLinks_(followLinks), found_(found), failed_(failed) {}

    void below(const std::string& relative) {
        const std::string folder = relative.empty() ? top_ : joinPath(top_, relative);
        // Only links lead back up: without them no folder is met twice.
        struct stat status {};
        if (followLinks_) {
            if (::stat(folder.c_str(), &status) != 0)
                return failed_(folder, errno);
            for (const auto& [device, inode] : path_)
                if (device == status.st_dev && inode == status.st_ino)
                    return failed_(folder, ELOOP);
            path_.emplace_back(status.st_dev, status.st_ino);
        }
        std::vector<Entry> entries;
        if (const int error = readFolder(folder, entries); error != 0)
            failed_(folder, error);
        for (const Entry& entry : entries) {
            const std::string next = joinPath(relative, entry.name);
            Kind kind = entry.kind;
            if (kind == Kind::link) {
                if (!followLinks_)
                    continue;
                const std::string linkPath = joinPath(folder, entry.name);
                kind = ::stat(linkPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode)
                           ? Kind::folder
                           : Kind::link;
            }
            if (kind == Kind::folder)
                below(next);
            else if (isOrvDocumentName(entry.name))
                found_(next, kind == Kind::link);
        }
        if (followLinks_)
            path_.pop_back();
    }

private:
    const std::string& top_;
    const bool followLinks_;
    const std::function<void(const std::string&, bool)>& found_;
    const std::function<void(const std::string&, int)>& failed_;
    std::vector<std::pair<dev_t, ino_t>> path_; // the folders being walked, with -L
};

} // namespace

void walkTree(const std::string& top, bool followLinks,
              const std::function<void(const std::string&, bool)>& found,
              const std::function<void(const std::string&, int)>& failed) {
    Walk(top, followLinks, found, failed).below("");
}

std::string joinPath(const std::string& path, const std::string& name) {
    if (path.empty() || path.back() == '/')
        return path + name;
    return path + "/" + name;
}

} // namespace orv::cli
