#include "io/held_folders.h"

#include "io/confined_folders.h"
#include "io/conversion_error.h"

#include <atomic>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

std::atomic<bool> holdFolders{false};

struct HeldFolder {
    std::string path;
    std::shared_ptr<const OpenFolder> open;
};

// A file still being made keeps its own reference: moving on to another
// folder never closes one in use.
thread_local HeldFolder held[2];

HeldFolder& heldFor(FolderUse use) {
    return held[use == FolderUse::sources ? 0 : 1];
}

} // namespace

OpenFolder::~OpenFolder() {
    ::close(fd_);
}

bool OpenFolder::device(dev_t& device) const {
    if (!deviceKnown_.load(std::memory_order_acquire)) {
        struct stat info {};
        if (::fstat(fd_, &info) != 0)
            return false;
        // Threads that race here learn the same value.
        device_.store(info.st_dev, std::memory_order_relaxed);
        deviceKnown_.store(true, std::memory_order_release);
    }
    device = device_.load(std::memory_order_relaxed);
    return true;
}

void holdFoldersOpen(bool hold) {
    holdFolders.store(hold, std::memory_order_relaxed);
}

std::shared_ptr<const OpenFolder> heldFolder(FolderUse use, std::string_view folder) {
    const bool confined = use == FolderUse::outputs && isConfined(folder);
    if (!confined && !holdFolders.load(std::memory_order_relaxed))
        return nullptr;
    HeldFolder& slot = heldFor(use);
    if (slot.open && slot.path == folder)
        return slot.open;
    slot.open.reset();
    slot.path.assign(folder);
    int fd;
    if (confined) {
        std::string failed;
        fd = openConfinedFolder(folder, false, failed);
        if (fd < 0)
            throwLastError(failed);
    } else {
        fd = ::open(slot.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0)
        return nullptr;
    slot.open = std::make_shared<const OpenFolder>(fd);
    return slot.open;
}

void releaseHeldFolder(FolderUse use) {
    heldFor(use).open.reset();
}

} // namespace orv
