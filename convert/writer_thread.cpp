#include "convert/writer_thread.h"

#include "io/conversion_error.h"
#include "io/run_context.h"

#include <cerrno>
#include <chrono>
#include <new>
#include <system_error>
#include <utility>

namespace orv {

WriterThread::WriterThread(Writer writer, const OutputFile& decodedText, std::string outputPath,
                           RunProgress& progress, Start start)
    : writer_(std::move(writer)), text_(decodedText), outputPath_(std::move(outputPath)),
      progress_(progress) {
    if (start == Start::whenWaitedFor)
        return;
    const mode_t mode = currentOutputMode();
    const SourceIdentity source = currentSourceIdentity();
    try {
        thread_ = std::thread([this, mode, source] { run(mode, source); });
    } catch (const std::system_error&) {
        // No thread to be had: wait() writes it on the caller's thread.
    }
}

WriterThread::~WriterThread() {
    if (thread_.joinable()) {
        progress_.stop();
        thread_.join();
    }
}

void WriterThread::write() {
    try {
        out_ = std::make_unique<OutputFile>(outputPath_);
        writer_(text_, *out_);
    } catch (const std::bad_alloc&) {
        throw outOfMemory();
    }
}

ConversionError WriterThread::outOfMemory() const {
    // A document too large for memory is a failure like any other, not a crash.
    return ConversionError(outputPath_, ENOMEM);
}

void WriterThread::run(mode_t outputMode, SourceIdentity source) {
    std::exception_ptr failure;
    try {
        const ScopedRunContext context(
            {outputMode, [this](std::size_t n) { progress_.advanceElsewhere(n); }, source});
        write();
    } catch (const std::bad_alloc&) {
        failure = std::make_exception_ptr(outOfMemory());
        out_.reset();
    } catch (...) {
        failure = std::current_exception();
        out_.reset();
    }
    const std::lock_guard lock(mutex_);
    failure_ = failure;
    done_ = true;
    changed_.notify_all();
}

std::unique_ptr<OutputFile> WriterThread::wait() {
    if (thread_.joinable()) {
        std::unique_lock lock(mutex_);
        while (!changed_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) {
            lock.unlock();
            progress_.poll();
            lock.lock();
        }
        lock.unlock();
        thread_.join();
        progress_.poll();
        if (failure_)
            std::rethrow_exception(failure_);
    } else {
        // On the run's own thread, which tells the front end as it goes.
        write();
    }
    return std::move(out_);
}

} // namespace orv
