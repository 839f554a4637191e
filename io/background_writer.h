#pragma once

#include "io/byte_files.h"
#include "io/scratch_blocks.h"

#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <exception>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>

namespace orv {

// A ByteSink that gathers bytes in a block and hands each full block to a
// thread of its own, which writes it to the downstream sink while the next
// block is filled. The thread starts with the first full block, so a small
// document is written on the caller's thread and never pays for one; so is
// every block when no thread can be started.
//
// Bytes reach the downstream sink in order and whole blocks at a time. A
// failure there is thrown by the next write(), commit() or finish(); the
// downstream sink is never used after a failure. Holds the calling thread's
// fillA and fillB scratch blocks: one BackgroundWriter per thread at a time.
class BackgroundWriter final : public ByteSink {
public:
    explicit BackgroundWriter(ByteSink& downstream);
    // Without finish(), the bytes not yet written are dropped.
    ~BackgroundWriter() override;
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    void write(std::string_view bytes) override {
        // The common case, inline: a paragraph end or a header line that fits.
        if (bytes.size() <= capacity_ - used_) {
            std::memcpy(fill_ + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
        } else {
            writeAcross(bytes);
        }
    }

    // Filling in place: room() is where the next bytes go, at least minimum
    // of them (minimum at most ioBlockSize); commit(n) takes n of them.
    std::span<char> room(std::size_t minimum = 1) {
        if (capacity_ - used_ < minimum)
            handOff();
        return {fill_ + used_, capacity_ - used_};
    }
    void commit(std::size_t n) { used_ += n; }

    // Writes everything still held and waits for the thread; rethrows the
    // first downstream failure.
    void finish();

private:
    void writeAcross(std::string_view bytes);
    void handOff();
    void waitIdle(std::unique_lock<std::mutex>& lock);
    void rethrowFailure();
    void run();

    ByteSink& downstream_;
    const std::size_t capacity_;
    ScratchBlock blockA_, blockB_;
    char* fill_;           // the block being filled by the caller
    char* spare_;          // the other block, free or being written
    std::size_t used_ = 0; // bytes in fill_

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string_view pending_; // the block the thread is to write, if any
    bool stopping_ = false;
    std::exception_ptr failure_;
    bool onCallersThread_ = false; // no thread could be started
    std::thread thread_;
};

} // namespace orv
