#include "io/durable_outputs.h"

#include "io/byte_files.h"
#include "io/output_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace orv {
namespace {

std::atomic<bool> synced{true};

// How the files of a file system are made durable.
enum Kind {
    nothingToDo, // in memory only: nothing survives a power cut anyway
    wholeSystem, // local, with a syncfs that writes and waits for everything and reports errors
    eachFile,    // anything else: network, FUSE, unknown
};

// A group of at most this many files (or folders) is flushed file by file:
// cheaper than a syncfs that would also write whatever else is waiting.
constexpr std::size_t fewFiles = 4;

Kind kindOfSystem(long type) {
    switch (static_cast<unsigned long>(type)) {
    case 0x01021994: // tmpfs
    case 0x858458f6: // ramfs
        return nothingToDo;
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0xF2F52010: // f2fs
    case 0x4d44:     // vfat, msdos
    case 0x2011BAB0: // exfat, in the kernel
    case 0x5346544e: // ntfs3, in the kernel
        return wholeSystem;
    default:
        return eachFile;
    }
}

// A failure to flush that only says the file (or folder) cannot be flushed:
// there is nothing more to do for it.
bool notSupported(int error) {
    return error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

// 0, or the errno of a flush that failed.
int flush(int fd, bool dataOnly) {
    while ((dataOnly ? ::fdatasync(fd) : ::fsync(fd)) != 0) {
        if (errno == EINTR)
            continue;
        return notSupported(errno) ? 0 : errno;
    }
    return 0;
}

int syncSystem(int fd) {
    while (::syncfs(fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

std::string_view folderOfOutput(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : std::string_view(path).substr(0, slash);
}

} // namespace

void setOutputsSynced(bool on) {
    synced.store(on, std::memory_order_relaxed);
}

bool outputsSynced() {
    return synced.load(std::memory_order_relaxed);
}

int SyncGroup::kindOf(int fd, dev_t& device) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return eachFile;
    device = info.st_dev;
    return kindOfDevice(fd, device);
}

int SyncGroup::kindOfDevice(int fd, dev_t device) {
    for (const Device& seen : devices_)
        if (seen.device == device)
            return seen.kind;
    struct statfs system {};
    const int kind = ::fstatfs(fd, &system) == 0 ? kindOfSystem(system.f_type) : eachFile;
    devices_.push_back({device, kind});
    return kind;
}

void SyncGroup::add(OutputFile& file) {
    files_.push_back(&file);
}

void SyncGroup::syncData() {
    if (!outputsSynced())
        return;
    const bool few = !batch_ && files_.size() <= fewFiles;
    struct Entry {
        OutputFile* file;
        dev_t device;
    };
    std::vector<Entry> together; // left to one syncfs of their file system
    for (OutputFile* file : files_) {
        const int fd = file->syncDescriptor();
        if (fd < 0)
            continue;
        dev_t device = 0;
        const int kind = file->folderDevice(device) ? kindOfDevice(fd, device) : kindOf(fd, device);
        if (kind == nothingToDo)
            continue;
        if (kind == wholeSystem && !few) {
            together.push_back({file, device});
        } else if (const int error = flush(fd, true); error != 0) {
            file->markUnsynced(error);
        }
    }
    std::vector<dev_t> done;
    for (const Entry& entry : together) {
        if (std::find(done.begin(), done.end(), entry.device) != done.end())
            continue;
        done.push_back(entry.device);
        if (syncSystem(entry.file->syncDescriptor()) == 0) {
            systemsSynced_.push_back(entry.device);
            continue;
        }
        // Which file failed, the file system does not say: each is asked.
        for (const Entry& other : together)
            if (other.device == entry.device)
                if (const int error = flush(other.file->syncDescriptor(), true); error != 0)
                    other.file->markUnsynced(error);
    }
}

void SyncGroup::addNamed(const std::string& path) {
    addFolder(path, false, 0);
}

void SyncGroup::addNamed(const OutputFile& file) {
    dev_t device = 0;
    const bool known = file.namedOnDevice(device);
    addFolder(file.path(), known, device);
}

void SyncGroup::addFolder(const std::string& output, bool deviceKnown, dev_t device) {
    // Outputs come folder by folder: the last folder added is the one to
    // look at first.
    const std::string_view folder = folderOfOutput(output);
    for (auto seen = folders_.rbegin(); seen != folders_.rend(); ++seen) {
        if (seen->path != folder)
            continue;
        if (seen->deviceKnown == deviceKnown && seen->device == device)
            return;
        // Another file system under the same path (a mount made meanwhile):
        // whatever is known of it is not.
        seen->deviceKnown = false;
        return;
    }
    folders_.push_back({std::string(folder), deviceKnown, device});
}

int SyncGroup::knownKind(dev_t device) const {
    for (const Device& seen : devices_)
        if (seen.device == device)
            return seen.kind;
    return -1;
}

void SyncGroup::syncNames(const std::vector<dev_t>& synced) {
    if (!outputsSynced())
        return;
    const bool few = !batch_ && folders_.size() <= fewFiles;
    struct Entry {
        std::size_t folder;
        dev_t device;
    };
    std::vector<Entry> together;
    // One folder held open per file system, for its syncfs: a group's
    // folders may be many more than the files a process may open.
    std::vector<std::pair<dev_t, int>> systems;
    const auto flushFolder = [&](std::size_t i, int fd) {
        if (const int error = flush(fd, false); error != 0)
            failedFolders_.emplace_back(folders_[i].path, error);
    };
    const auto wholeSystemOf = [&](std::size_t i) {
        return !few && folders_[i].deviceKnown && knownKind(folders_[i].device) == wholeSystem;
    };
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        if (folders_[i].deviceKnown && knownKind(folders_[i].device) == nothingToDo)
            continue;
        // A folder whose file system its files' flush already knows as one
        // synced whole is not opened to learn that again: either that flush
        // (or a later one) covered its names, or one syncfs below does.
        if (wholeSystemOf(i)) {
            const dev_t device = folders_[i].device;
            if (std::find(synced.begin(), synced.end(), device) != synced.end())
                continue;
            if (std::any_of(systems.begin(), systems.end(),
                            [&](const auto& system) { return system.first == device; })) {
                together.push_back({i, device});
                continue;
            }
        }
        const int fd = ::open(folders_[i].path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            failedFolders_.emplace_back(folders_[i].path, errno);
            continue;
        }
        dev_t device = 0;
        const int kind = kindOf(fd, device);
        if (kind == wholeSystem && !few &&
            std::find(synced.begin(), synced.end(), device) != synced.end()) {
            // Flushed whole since the name was made.
        } else if (kind == wholeSystem && !few) {
            together.push_back({i, device});
            if (std::none_of(systems.begin(), systems.end(),
                             [&](const auto& system) { return system.first == device; })) {
                systems.emplace_back(device, fd);
                continue;
            }
        } else if (kind != nothingToDo) {
            flushFolder(i, fd);
        }
        ::close(fd);
    }
    for (const auto& [device, fd] : systems) {
        if (syncSystem(fd) != 0) {
            // Which folder failed, the file system does not say: each is asked.
            for (const Entry& entry : together) {
                if (entry.device != device)
                    continue;
                const int folder =
                    ::open(folders_[entry.folder].path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (folder < 0) {
                    failedFolders_.emplace_back(folders_[entry.folder].path, errno);
                    continue;
                }
                flushFolder(entry.folder, folder);
                ::close(folder);
            }
        }
        ::close(fd);
    }
}

int SyncGroup::folderError(const std::string& path) const {
    if (failedFolders_.empty())
        return 0;
    const std::string_view folder = folderOfOutput(path);
    for (const auto& [failed, error] : failedFolders_)
        if (failed == folder)
            return error;
    return 0;
}

void SyncGroup::clear() {
    files_.clear();
    systemsSynced_.clear();
    folders_.clear();
    failedFolders_.clear();
}

} // namespace orv
