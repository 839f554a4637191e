#pragma once

#include "io/block_sizes.h"
#include "io/scratch_blocks.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace orv {

// How far a file that is read back has been written, for readers that start
// before it is finished: they wait for the bytes they ask for, or its end.
// A small file is also kept in memory as it is written (in the writing
// thread's copy scratch block), so that once it is finished its readers
// take it from there rather than with a system call per read.
//
// One writer appends, finishes or abandons; any number of readers, on any
// threads, wait and read.
class GrowingFile {
public:
    GrowingFile();
    GrowingFile(const GrowingFile&) = delete;
    GrowingFile& operator=(const GrowingFile&) = delete;

    // The writer: size more bytes are in the file, data.
    void append(const char* data, std::size_t size);
    // Every byte is in: readers waiting for more get the end of the file.
    void finish();
    // The writer gives up on a file not finished: readers stop.
    void abandon();
    // Every reader made before the file was finished is gone: the copy in
    // memory is let go, and readers read the file from now on.
    void dropCopy();

    // The readers: waits until bytes up to end are written, or the file is
    // finished; throws ConversionCancelled if the writer gave up.
    void waitFor(std::uint64_t end);
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    std::uint64_t written() const { return written_.load(std::memory_order_acquire); }
    // Every byte of the file, once it is finished, if they were kept; else null.
    const char* finishedCopy() const { return finished() ? copy_ : nullptr; }

private:
    static constexpr std::size_t copyBytes = ioBlockSize < 65536 ? ioBlockSize : 65536;

    std::mutex mutex_;
    std::condition_variable grown_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<bool> finished_{false};
    bool abandoned_ = false;
    std::optional<ScratchBlock> copyBlock_; // while the bytes are kept
    char* copy_ = nullptr;                  // every byte written, while they fit in copyBytes
};

} // namespace orv
