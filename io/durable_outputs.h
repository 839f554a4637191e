#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orv {

class OutputFile;

// Whether outputs are put on stable storage before they are reported
// written (the default). Off, a run is faster, but an output may be lost or
// empty after a power cut or a crash of the system.
void setOutputsSynced(bool synced);
bool outputsSynced();

// Finished outputs, of one conversion or of many, made durable together:
// first the data of every file, before any of them takes its name, then,
// once they are named, the names. On a local file system whose syncfs is
// reliable a group of many files costs one syncfs per file system each
// time; elsewhere, and for a few files, each file's data is flushed on its
// own and each folder once.
class SyncGroup {
public:
    // A batch's group syncs a whole file system even for a few files: its
    // next group would flush the rest anyway, and one flush costs less than
    // several.
    explicit SyncGroup(bool batch = false) : batch_(batch) {}
    // file must stay open (finished, not yet published) until syncData().
    void add(OutputFile& file);
    std::size_t files() const { return files_.size(); }
    // Puts the data of every file added on stable storage. A file that
    // fails is marked so that its publish() throws the platform's error.
    void syncData();

    // The output path, now named; its folder is made durable by syncNames().
    void addNamed(const std::string& path);
    // The same for a published file, whose folder's file system it may
    // know already: a group's folders on a file system synced whole then
    // need not be opened at all.
    void addNamed(const OutputFile& file);
    // Makes the names added durable. Afterwards, folderError() tells for an
    // output path whether its folder failed (an errno, or 0). File systems
    // in synced, flushed whole since the names were made (by a later
    // group's syncData()), need nothing more.
    void syncNames(const std::vector<dev_t>& synced = {});
    // The file systems that syncData() flushed whole, without a failure.
    const std::vector<dev_t>& systemsSynced() const { return systemsSynced_; }
    int folderError(const std::string& path) const;

    // Forgets everything, for the next group.
    void clear();

private:
    struct Device {
        dev_t device;
        int kind; // how it is synced, see durable_outputs.cpp
    };
    int kindOf(int fd, dev_t& device);
    // The same for a device known already.
    int kindOfDevice(int fd, dev_t device);

    bool batch_;
    std::vector<OutputFile*> files_;
    struct Folder {
        std::string path;
        bool deviceKnown;
        dev_t device;
    };
    void addFolder(const std::string& output, bool deviceKnown, dev_t device);
    // The kind of a device seen by syncData(), or -1.
    int knownKind(dev_t device) const;

    std::vector<Folder> folders_; // of the named outputs, each once
    std::vector<std::pair<std::string, int>> failedFolders_;
    std::vector<Device> devices_; // seen so far: the kind of each
    std::vector<dev_t> systemsSynced_;
};

} // namespace orv
