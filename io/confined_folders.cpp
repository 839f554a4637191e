#include "io/confined_folders.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orv {
namespace {

// Set before any output is made, only read after.
std::string rootPath; // without trailing slashes; "/" stays
bool confined = false;

// The root, opened on each thread at its first use there: a batch's workers
// have descriptor tables of their own, and the folder may not exist before.
struct OpenRoot {
    std::string path;
    int fd = -1;
    ~OpenRoot() {
        if (fd >= 0)
            ::close(fd);
    }
};
thread_local OpenRoot openRootHere;

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// The root, opened (and made, as mkdir -p would, through any link the user
// put in its path) at first use.
int openRoot(std::string& failed) {
    OpenRoot& root = openRootHere;
    if (root.fd >= 0 && root.path == rootPath)
        return root.fd;
    if (root.fd >= 0)
        ::close(root.fd);
    root.fd = -1;
    for (std::size_t slash = rootPath.find('/', 1);; slash = rootPath.find('/', slash + 1)) {
        const std::string folder = rootPath.substr(0, slash);
        if (!folder.empty() && folder.back() != '/' && ::mkdir(folder.c_str(), 0777) != 0 &&
            errno != EEXIST) {
            failed = folder;
            return -1;
        }
        if (slash == std::string::npos)
            break;
    }
    root.fd = ::open(rootPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root.fd < 0)
        failed = rootPath;
    else
        root.path = rootPath;
    return root.fd;
}

// folder's part below the root, without leading slashes.
std::string_view belowRoot(std::string_view folder) {
    folder = withoutTrailingSlashes(folder);
    if (rootPath == "/")
        folder.remove_prefix(1);
    else
        folder.remove_prefix(rootPath.size());
    while (!folder.empty() && folder.front() == '/')
        folder.remove_prefix(1);
    return folder;
}

// The kernel's own walk: no link, nothing above the root. ENOSYS on a
// kernel without it.
int openBeneath(int root, const std::string& relative) {
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(
        ::syscall(SYS_openat2, root, relative.empty() ? "." : relative.c_str(), &how, sizeof how));
}

// One folder in parent, the name not followed should it be a link.
int openStep(int parent, const std::string& name) {
    const int fd = ::openat(parent, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) {
        const int error = S_ISLNK(info.st_mode) ? ELOOP : ENOTDIR;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

void confineOutputsBelow(const std::string& root) {
    rootPath = std::string(withoutTrailingSlashes(root));
    confined = !rootPath.empty();
}

bool isConfined(std::string_view folder) {
    if (!confined)
        return false;
    folder = withoutTrailingSlashes(folder);
    if (rootPath == "/")
        return folder.starts_with('/');
    return folder.starts_with(rootPath) &&
           (folder.size() == rootPath.size() || folder[rootPath.size()] == '/');
}

int openConfinedFolder(std::string_view folder, bool create, std::string& failed) {
    const int root = openRoot(failed);
    if (root < 0)
        return -1;
    const std::string relative(belowRoot(folder));
    const int fd = openBeneath(root, relative);
    if (fd >= 0)
        return fd;
    // Step by step: where the kernel lacks openat2, to make what is missing,
    // and to name the very folder that is refused.
    std::string path = rootPath;
    int current = ::fcntl(root, F_DUPFD_CLOEXEC, 0);
    if (current < 0) {
        failed = path;
        return -1;
    }
    std::size_t at = 0;
    while (at < relative.size()) {
        std::size_t end = relative.find('/', at);
        if (end == std::string::npos)
            end = relative.size();
        const std::string name = relative.substr(at, end - at);
        at = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (path != "/")
            path += '/';
        path += name;
        int next = -1;
        if (name == "..")
            errno = EXDEV; // never above the root
        else
            next = openStep(current, name);
        if (next < 0 && errno == ENOENT && create &&
            (::mkdirat(current, name.c_str(), 0777) == 0 || errno == EEXIST))
            next = openStep(current, name);
        const int error = errno;
        ::close(current);
        if (next < 0) {
            failed = path;
            errno = error;
            return -1;
        }
        current = next;
    }
    return current;
}

} // namespace orv
