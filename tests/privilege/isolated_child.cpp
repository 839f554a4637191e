#include "isolated_child.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::test {

namespace {

constexpr uid_t nobodyId = 65534;

std::string refused(const std::string& step) {
    return step + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

bool writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, text);
    return ::close(fd) == 0 && written;
}

// A private mount table. Root gets it directly; anyone else through a user
// namespace that maps them to root inside, where the kernel allows that.
std::string enterPrivateMounts() {
    if (::unshare(CLONE_NEWNS) != 0) {
        if (errno != EPERM)
            return refused("unshare(CLONE_NEWNS)");
        const std::string uid = std::to_string(::getuid());
        const std::string gid = std::to_string(::getgid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return refused("unshare(CLONE_NEWUSER | CLONE_NEWNS)");
        if (!writeProcFile("/proc/self/setgroups", "deny") ||
            !writeProcFile("/proc/self/uid_map", "0 " + uid + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + gid + " 1"))
            return refused("mapping the user namespace");
    }
    // Without this a mount could propagate back to the parent's table.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return refused("making / private");
    return {};
}

} // namespace

ChildOutcome runInChild(const ChildSetup& setup, const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return {{}, refused("pipe")};
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return {{}, refused("fork")};
    }
    if (child == 0) {
        ::close(channel[0]);
        const std::string refusal = setup();
        // The first byte tells the parent which of the two follows.
        std::string report(1, refusal.empty() ? 'O' : 'R');
        report += refusal.empty() ? body() : refusal;
        ::_exit(writeAll(channel[1], report) ? 0 : 3);
    }
    ::close(channel[1]);
    const std::string report = readAll(channel[0]);
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || report.empty())
        return {{}, "child ended abnormally, status " + std::to_string(status)};
    if (report[0] == 'R')
        return {report.substr(1), {}};
    return {{}, report.substr(1)};
}

std::string becomeNobody() {
    if (::setgroups(0, nullptr) != 0)
        return refused("setgroups");
    if (::setgid(nobodyId) != 0)
        return refused("setgid(65534)");
    if (::setuid(nobodyId) != 0)
        return refused("setuid(65534)");
    return {};
}

std::string mountReadOnly(const std::string& folder) {
    if (std::string refusal = enterPrivateMounts(); !refusal.empty())
        return refusal;
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return refused("bind-mounting " + folder);
    if (::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return refused("remounting " + folder + " read-only");
    return {};
}

std::string pinFile(const std::string& file) {
    if (std::string refusal = enterPrivateMounts(); !refusal.empty())
        return refusal;
    if (::mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return refused("bind-mounting " + file);
    return {};
}

} // namespace orv::test
