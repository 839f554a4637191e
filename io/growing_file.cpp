#include "io/growing_file.h"

#include "io/conversion_error.h"

#include <cstring>

namespace orv {

GrowingFile::GrowingFile() : copy_(copyBlock_.emplace(ScratchRole::copy).get()) {}

void GrowingFile::append(const char* data, std::size_t size) {
    // Once finished, nothing writes the copy: readers take it without a lock.
    const std::uint64_t before = written_.load(std::memory_order_relaxed);
    if (copy_ != nullptr) {
        if (before + size <= copyBytes)
            std::memcpy(copy_ + before, data, size);
        else
            copy_ = nullptr; // too large to keep: read back from the file
    }
    const std::lock_guard lock(mutex_);
    written_.store(before + size, std::memory_order_release);
    grown_.notify_all();
}

void GrowingFile::finish() {
    const std::lock_guard lock(mutex_);
    finished_.store(true, std::memory_order_release);
    grown_.notify_all();
}

void GrowingFile::abandon() {
    const std::lock_guard lock(mutex_);
    if (!finished_.load(std::memory_order_relaxed))
        abandoned_ = true;
    grown_.notify_all();
}

void GrowingFile::dropCopy() {
    copy_ = nullptr;
    copyBlock_.reset();
}

void GrowingFile::waitFor(std::uint64_t end) {
    std::unique_lock lock(mutex_);
    grown_.wait(lock, [&] {
        return abandoned_ || finished_.load(std::memory_order_relaxed) ||
               written_.load(std::memory_order_relaxed) >= end;
    });
    if (abandoned_)
        throw ConversionCancelled{};
}

} // namespace orv
