#pragma once

// A small file system of a given kind made in an image file and mounted for
// one test, unmounted and released again on every path. Needs root and the
// kind's tools; skipReason() says what is missing.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::test {

class FuseMedia {
public:
    enum class Kind { exfatFuse, fatFuse };

    // Makes image (sizeMiB) and mounts it on mountPoint, which is created.
    FuseMedia(Kind kind, const std::string& image, const std::string& mountPoint, int sizeMiB = 64)
        : mountPoint_(mountPoint) {
        if (::geteuid() != 0) {
            skipReason_ = "needs root to mount a file system";
            return;
        }
        if (!std::filesystem::exists("/dev/fuse")) {
            skipReason_ = "needs /dev/fuse";
            return;
        }
        const char* tools =
            kind == Kind::exfatFuse ? "mkfs.exfat mount.exfat-fuse losetup" : "mkfs.vfat fusefat";
        if (!run(std::string("for t in ") + tools + "; do command -v $t; done")) {
            skipReason_ = std::string("needs ") + tools +
                          " (packages exfatprogs exfat-fuse, dosfstools fusefat)";
            return;
        }
        std::filesystem::create_directories(mountPoint);
        const std::string size = std::to_string(sizeMiB) + "M";
        if (kind == Kind::exfatFuse) {
            // exfat-fuse wants a block device: the image goes on a loop device.
            if (!run("truncate -s " + size + " '" + image + "' && mkfs.exfat '" + image + "'") ||
                !capture("losetup -f --show '" + image + "'", loopDevice_)) {
                skipReason_ = "could not make an exFAT image on a loop device";
                return;
            }
            if (!run("mount.exfat-fuse '" + loopDevice_ + "' '" + mountPoint + "'")) {
                skipReason_ = "mount.exfat-fuse failed";
                return;
            }
        } else {
            if (!run("truncate -s " + size + " '" + image + "' && mkfs.vfat '" + image + "'") ||
                !run("fusefat -o rw+ '" + image + "' '" + mountPoint + "'")) {
                skipReason_ = "could not mount a FAT image with fusefat";
                return;
            }
        }
        mounted_ = true;
    }

    ~FuseMedia() {
        // A FUSE daemon may still hold the mount for a moment after the last
        // file closed: tried again for a while, then detached.
        if (mounted_)
            run("for i in $(seq 50); do umount '" + mountPoint_ +
                "' && exit 0; sleep 0.1; done; umount -l '" + mountPoint_ + "'");
        if (!loopDevice_.empty())
            run("losetup -d '" + loopDevice_ + "'");
    }
    FuseMedia(const FuseMedia&) = delete;
    FuseMedia& operator=(const FuseMedia&) = delete;

    // Empty when mounted.
    const std::string& skipReason() const { return skipReason_; }
    // Empty while the daemon serves the mount; else why it does not, as the
    // platform tells it. A daemon that stopped is the media's fault, not the
    // program's under test.
    std::string lost() const {
        struct stat info;
        return ::stat(mountPoint_.c_str(), &info) == 0 ? std::string() : std::strerror(errno);
    }

private:
    static bool run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }
    // The command's first line of output.
    static bool capture(const std::string& command, std::string& line) {
        FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
        if (pipe == nullptr)
            return false;
        char buffer[256] = {};
        const bool got = std::fgets(buffer, sizeof buffer, pipe) != nullptr;
        const bool ok = ::pclose(pipe) == 0 && got;
        line = buffer;
        while (!line.empty() && line.back() == '\n')
            line.pop_back();
        return ok && !line.empty();
    }

    std::string mountPoint_;
    std::string loopDevice_;
    std::string skipReason_;
    bool mounted_ = false;
};

} // namespace orv::test
