#pragma once

#include "io/block_sizes.h"
#include "io/byte_sink.h"
#include "io/growing_file.h"
#include "io/run_context.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace orv {

class OpenFolder;

// An output that replaces the file of its name only once it is complete.
// The bytes go to a new file in the same folder that has no name at all
// (where the file system has such files), or else a hidden one created
// exclusively under an unpredictable name. close() checks every error and
// only then links it in under the final name, or renames it over a file of
// that name, replacing a link there rather than what it points to. A file
// of that name that may not be written is not replaced. Until then the final
// name keeps whatever it held; a failure, or the destructor, drops the new
// file again. Errors name the final path.
class OutputFile final : public ByteSink {
public:
    enum class Visibility { asOutput, privateUntilPublished };
    explicit OutputFile(std::string path, Visibility visibility = Visibility::asOutput);
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes) override {
        // The common case, inline: a small piece gathered for one write.
        // Larger ones, such as a BackgroundWriter's blocks, go straight out.
        if (bytes.size() < directWriteBytes && buffer_.size() + bytes.size() < ioBlockSize)
            buffer_.append(bytes);
        else
            writeThrough(bytes);
    }
    void writeBlock(std::string_view bytes) override {
        flushBuffer();
        writeAll(bytes.data(), bytes.size());
    }
    // The bytes given, then CR LF.
    void writeLine(std::string_view bytes);
    // finish(), then publish(): the output takes its final name.
    void close();

    // The steps of close(), for a file that is read back, or made durable,
    // before it is kept or dropped: finish() writes out the file (which
    // stays open until published), publish() gives it
    // its final name, discard() removes it instead. A file made
    // privateUntilPublished has mode 0600 until publish() gives it the
    // output's mode (a file without a name has it from the start, as
    // nobody can open it), and can be read back (InputFile(const
    // OutputFile&)) until publish() or discard().
    void finish();
    void publish();
    void discard();
    // Readers waiting for more of a file that will not be finished stop.
    void releaseReaders();
    // Every reader made before the file was finished is gone: the copy of
    // a small file kept in memory for them is let go, and a reader made
    // from now on reads the file.
    void readersDone();
    // True until the hidden file has been published or discarded.
    bool pending() const { return live_; }
    // True while it waits under a hidden name, which a signal must remove.
    bool hidden() const { return live_ && !unnamed_; }
    std::uint64_t bytesWritten() const { return written_; }

    // A finished file stays open until it is published, for SyncGroup to
    // flush it first: its descriptor, or -1.
    int syncDescriptor() const { return live_ ? fd_ : -1; }
    // The device of the file system it is on, where its folder is held
    // open; false otherwise.
    bool folderDevice(dev_t& device) const;
    // Once published: the device of the folder that took its name, where
    // that folder was held open and outputs are synced; false otherwise.
    bool namedOnDevice(dev_t& device) const {
        device = namedDevice_;
        return namedDeviceKnown_;
    }
    // Its data could not be put on stable storage: publish() throws error.
    void markUnsynced(int error) { syncError_ = error; }

    const std::string& path() const { return path_; }
    // A file without a name goes by the name it will have.
    const std::string& temporaryPath() const { return unnamed_ ? path_ : temporary_; }

    // Hidden names only, never files without a name: what file systems
    // without those get, for the tests to reach.
    static void useNamedTemporariesOnly(bool only);

private:
    friend class InputFile;
    // Pieces at least this large are not worth a copy into the buffer.
    static constexpr std::size_t directWriteBytes = 4096;

    void flushBuffer();
    void closeDescriptor();
    void writeThrough(std::string_view bytes);
    void writeAll(const char* data, std::size_t size);
    void publishUnnamed();
    // Notes where the name went, for SyncGroup, and lets go of the folder.
    void releaseFolder();
    // A new file without a name in the output's folder, or -1 with errno.
    int openUnnamed(int access);
    // folder_ for a file made under a hidden name.
    void holdNamedFolder();
    // Takes the group's access away where the file's group is not the
    // source's and the source is closed to others.
    void keepFromForeignGroup();
    // path (the output's, or a hidden one beside it) as the calls that take
    // the held folder want it: the bare name there, else the whole path.
    const char* inFolder(const std::string& path) const {
        return folder_ ? path.c_str() + nameStart_ : path.c_str();
    }

    std::string path_;
    std::string temporary_;                    // the hidden name, when the file has one
    std::size_t nameStart_ = 0;                // where the name starts in path_
    std::shared_ptr<const OpenFolder> folder_; // the folder, held open for the batch
    int fd_ = -1;
    std::uint64_t written_ = 0;
    int cleanupSlot_ = -1;
    int syncError_ = 0;
    bool live_ = false;    // the new file exists and is ours to drop
    bool unnamed_ = false; // it has no name until published
    mode_t mode_;
    SourceIdentity source_; // whose output this is, for its group's access
    bool private_;
    bool namedDeviceKnown_ = false;
    dev_t namedDevice_ = 0;
    std::string buffer_;
    std::unique_ptr<GrowingFile> growing_; // for a file read back
};

// Removes path if it is there; a missing file is no failure.
void removeIfPresent(const std::string& path);

} // namespace orv
