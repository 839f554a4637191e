#include "cli/name_list.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orv::cli {

int readNameList(const std::string& path, bool nullSeparated,
                 const std::function<void(const std::string&)>& named) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const char separator = nullSeparated ? '\0' : '\n';
    std::string name;
    char block[65536];
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            if (block[i] != separator) {
                name += block[i];
            } else if (!name.empty()) {
                named(name);
                name.clear();
            }
        }
    }
    if (!name.empty() && error == 0)
        named(name);
    if (!standardInput)
        ::close(fd);
    return error;
}

} // namespace orv::cli
