#include "cli/desktop_opener.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::cli {

namespace {

// Runs in the grandchild: only async-signal-safe calls until exec.
[[noreturn]] void execOpener(const char* const* argv) {
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        if (devNull > STDERR_FILENO)
            ::close(devNull);
    }
    ::execvp(argv[0], const_cast<char* const*>(argv));
    ::_exit(127);
}

} // namespace

void openWithDesktop(const std::string& path) {
    const char* const argv[] = {"xdg-open", path.c_str(), nullptr};
    // Two forks: the middle child leaves at once, so the opener is adopted by
    // init and nobody has to wait for it.
    const pid_t middle = ::fork();
    if (middle < 0)
        return;
    if (middle == 0) {
        ::setsid();
        const pid_t opener = ::fork();
        if (opener == 0)
            execOpener(argv);
        ::_exit(0);
    }
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace orv::cli
