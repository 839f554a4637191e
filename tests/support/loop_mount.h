#pragma once

// A file system of its own for a test: a file made into a file system by a
// mkfs program and loop-mounted on a fresh folder, unmounted and removed
// again at the end. Needs root and the mkfs program; when either is
// missing, skipReason() says so and nothing is mounted.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::test {

class LoopMount {
public:
    // mkfs: the program and its options, given the image's path last
    // ("mkfs.xfs -q -f"); mountOptions: extra options for mount -o.
    LoopMount(const std::string& mkfs, const std::string& sizeMiB,
              const std::string& mountOptions = "") {
        if (::geteuid() != 0) {
            skipReason_ = "loop-mounting a file system needs root";
            return;
        }
        const std::string program = mkfs.substr(0, mkfs.find(' '));
        if (run("command -v " + program + " >/dev/null") != 0) {
            skipReason_ = program + " is missing (scripts/setup installs it)";
            return;
        }
        std::string base = (std::filesystem::temp_directory_path() / "orv-loop-XXXXXX").string();
        if (::mkdtemp(base.data()) == nullptr) {
            skipReason_ = std::string("cannot make a folder: ") + std::strerror(errno);
            return;
        }
        base_ = base;
        image_ = base + "/image";
        mountPoint_ = base + "/mnt";
        std::filesystem::create_directory(mountPoint_);
        if (run("truncate -s " + sizeMiB + "M '" + image_ + "' && " + mkfs + " '" + image_ +
                "' >/dev/null 2>&1") != 0) {
            skipReason_ = "cannot make the file system with " + mkfs;
            return;
        }
        options_ = "loop" + (mountOptions.empty() ? "" : "," + mountOptions);
        if (!mount()) {
            skipReason_ = "cannot loop-mount " + image_ + " (no loop devices here?)";
            return;
        }
    }
    ~LoopMount() {
        if (mounted_)
            unmount();
        if (!base_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(base_, ignored);
        }
    }
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    // Empty when mounted.
    const std::string& skipReason() const { return skipReason_; }
    const std::string& path() const { return mountPoint_; }

    bool unmount() {
        mounted_ = run("umount '" + mountPoint_ + "'") != 0;
        return !mounted_;
    }
    bool mount() {
        mounted_ = run("mount -o " + options_ + " '" + image_ + "' '" + mountPoint_ +
                       "' 2>/dev/null") == 0;
        return mounted_;
    }

    static int run(const std::string& command) {
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    std::string skipReason_, base_, image_, mountPoint_, options_;
    bool mounted_ = false;
};

} // namespace orv::test
