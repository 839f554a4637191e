#include "io/background_writer.h"

#include "io/block_sizes.h"
#include "io/scratch_blocks.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace orv {

BackgroundWriter::BackgroundWriter(ByteSink& downstream)
    : downstream_(downstream), capacity_(ioBlockSize), blockA_(ScratchRole::fillA),
      blockB_(ScratchRole::fillB), fill_(blockA_.get()), spare_(blockB_.get()) {}

BackgroundWriter::~BackgroundWriter() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
}

void BackgroundWriter::writeAcross(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::span<char> space = room();
        const std::size_t n = std::min(space.size(), bytes.size());
        std::memcpy(space.data(), bytes.data(), n);
        commit(n);
        bytes.remove_prefix(n);
    }
}

void BackgroundWriter::waitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return pending_.empty() || failure_; });
}

void BackgroundWriter::rethrowFailure() {
    // Sticky: the thread has ended, and the downstream sink is not to be used again.
    if (failure_)
        std::rethrow_exception(failure_);
}

void BackgroundWriter::handOff() {
    if (used_ == 0)
        return;
    if (!thread_.joinable() && !onCallersThread_) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to be had (a process or memory limit): the blocks
            // are written here, one after another, which is merely slower.
            onCallersThread_ = true;
        }
    }
    if (onCallersThread_) {
        downstream_.writeBlock({fill_, used_});
        used_ = 0;
        return;
    }
    {
        std::unique_lock lock(mutex_);
        waitIdle(lock);
        rethrowFailure();
        pending_ = {fill_, used_};
    }
    changed_.notify_all();
    std::swap(fill_, spare_);
    used_ = 0;
}

void BackgroundWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !pending_.empty() || stopping_; });
        if (pending_.empty())
            return;
        const std::string_view block = pending_;
        lock.unlock();
        std::exception_ptr failed;
        try {
            downstream_.writeBlock(block);
        } catch (...) {
            failed = std::current_exception();
        }
        lock.lock();
        pending_ = {};
        failure_ = failed;
        changed_.notify_all();
        if (failed)
            return;
    }
}

void BackgroundWriter::finish() {
    if (thread_.joinable()) {
        {
            std::unique_lock lock(mutex_);
            waitIdle(lock);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
        rethrowFailure();
    }
    // The last, partial block is written here: the thread is gone by now.
    if (used_ != 0) {
        downstream_.writeBlock({fill_, used_});
        used_ = 0;
    }
}

} // namespace orv
