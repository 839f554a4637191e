#pragma once

#include <atomic>
#include <memory>
#include <string_view>
#include <sys/types.h>

namespace orv {

// A folder held open, so that files are opened and made in it through its
// descriptor instead of by a path that the system walks again every call.
class OpenFolder {
public:
    explicit OpenFolder(int fd) : fd_(fd) {}
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int fd() const { return fd_; }
    // The device of its file system, which every file made in it shares:
    // looked up once, so that a batch does not ask it for every output.
    // False when it cannot be learnt.
    bool device(dev_t& device) const;

private:
    int fd_;
    mutable std::atomic<bool> deviceKnown_{false};
    mutable std::atomic<dev_t> device_{0};
};

// What a thread holds a folder open for: the one it last read a source in,
// and the one it last made an output in (the same one, unless outputs go
// elsewhere).
enum class FolderUse { sources, outputs };

// From now on each thread holds the folders of its last source and output
// open, and opens further files there through them: a batch of documents in
// one deep folder then has the folder looked up once, not at every call.
// Should a folder be renamed meanwhile, the batch goes on in it, its outputs
// still beside their sources. For a program that converts a batch and ends;
// one that stays open while folders come and go (the window) leaves it off.
void holdFoldersOpen(bool hold);

// The calling thread's open folder for the path folder, opened now if the
// last one was another; null when folders are not held open, or when it
// cannot be opened (the caller goes by the path then, and meets the error
// there). An output folder below the folder that outputs are confined to
// (see confineOutputsBelow) is held whether or not folders are held open, and
// never looked up by path: failing to open it throws ConversionError.
std::shared_ptr<const OpenFolder> heldFolder(FolderUse use, std::string_view folder);

// The thread lets go of its folder for use: the next file looks its folder
// up by path again (after the held one was found removed, say).
void releaseHeldFolder(FolderUse use);

} // namespace orv
