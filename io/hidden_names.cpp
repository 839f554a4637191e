#include "io/hidden_names.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orv {
namespace {

constexpr std::string_view marker = ".orvtmp-";
constexpr std::size_t randomLetters = 6;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAlnum(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The host's name as it goes into hidden names: letters, digits and '-';
// anything else, '.' included, becomes '_', so that the marker cannot occur
// in it and a name is read back unambiguously.
const std::string& hostPart() {
    static const std::string host = [] {
        char name[HOST_NAME_MAX + 1] = {};
        if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
            return std::string("localhost");
        std::string part(name);
        for (char& c : part)
            if (!isAlnum(c) && c != '-')
                c = '_';
        return part;
    }();
    return host;
}

// ".orvtmp-HOST-PID-" for this process.
std::string ownSuffix() {
    return std::string(marker) + hostPart() + "-" + std::to_string(::getpid()) + "-";
}

// How many of name's first bytes to keep so that no UTF-8 character is cut:
// a byte 10xxxxxx continues the character before it.
std::size_t characterBoundary(std::string_view name, std::size_t limit) {
    if (name.size() <= limit)
        return name.size();
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

} // namespace

std::string hiddenNamePrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string suffix = ownSuffix();
    // "." + NAME + suffix + the random letters within NAME_MAX.
    const std::size_t room = NAME_MAX - 1 - suffix.size() - randomLetters;
    const std::string_view name = std::string_view(path).substr(nameStart);
    return path.substr(0, nameStart) + "." +
           std::string(name.substr(0, characterBoundary(name, room))) + suffix;
}

std::string randomHiddenName(const std::string& prefix) {
    static constexpr char letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string name = prefix;
    std::uint64_t bits = random();
    for (std::size_t i = 0; i < randomLetters; ++i, bits /= 62)
        name.push_back(letters[bits % 62]);
    return name;
}

bool isLeftoverHiddenName(std::string_view name) {
    // ".NAME.orvtmp-HOST-PID-XXXXXX", read from the end.
    if (name.size() < 1 + marker.size() + randomLetters + 4 || name[0] != '.')
        return false;
    for (std::size_t i = name.size() - randomLetters; i < name.size(); ++i)
        if (!isAlnum(name[i]))
            return false;
    std::size_t at = name.size() - randomLetters - 1;
    if (name[at] != '-')
        return false;
    const std::size_t pidEnd = at;
    while (at > 0 && isDigit(name[at - 1]))
        --at;
    if (at == pidEnd || pidEnd - at > 9 || name[at] == '0' || at == 0 || name[at - 1] != '-')
        return false;
    const std::string_view hostAndMarker = name.substr(0, at - 1);
    const std::string& host = hostPart();
    if (!hostAndMarker.ends_with(std::string(marker) + host) ||
        hostAndMarker.size() < 1 + marker.size() + host.size())
        return false;
    const long pid = std::stol(std::string(name.substr(at, pidEnd - at)));
    if (pid == ::getpid())
        return false;
    // Gone, not merely someone else's (EPERM): only then is the file nobody's.
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void removeLeftoversOnce(int folderFd) {
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0)
        return;
    static std::mutex mutex;
    static std::set<std::pair<dev_t, ino_t>> seen;
    {
        const std::lock_guard lock(mutex);
        if (!seen.insert({folder.st_dev, folder.st_ino}).second)
            return;
    }
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* listing = ::fdopendir(fd);
    if (listing == nullptr) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        if (!isLeftoverHiddenName(entry->d_name))
            continue;
        // Regular files only: a folder or link of that name is not ours.
        struct stat file {};
        if (::fstatat(fd, entry->d_name, &file, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(file.st_mode))
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(listing);
}

} // namespace orv
