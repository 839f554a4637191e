#include "convert/writer_thread.h"

#include "io/run_context.h"

#include <chrono>
#include <system_error>

namespace orv {

WriterThread::WriterThread(Writer writer, const OutputFile& decodedText,
                           const std::string& outputPath, RunProgress& progress, Start start)
    : writer_(writer), text_(decodedText), outputPath_(outputPath), progress_(progress) {
    if (start == Start::whenPublished)
        return;
    const mode_t mode = currentOutputMode();
    const SourceIdentity source = currentSourceIdentity();
    try {
        thread_ = std::thread([this, mode, source] { run(mode, source); });
    } catch (const std::system_error&) {
        // No thread to be had: publish() writes it on the caller's thread.
    }
}

WriterThread::~WriterThread() {
    if (thread_.joinable()) {
        progress_.stop();
        thread_.join();
    }
}

void WriterThread::run(mode_t outputMode, SourceIdentity source) {
    std::exception_ptr failure;
    try {
        const ScopedRunContext context(
            {outputMode, [this](std::size_t n) { progress_.advanceElsewhere(n); }, source});
        out_ = std::make_unique<OutputFile>(outputPath_);
        writer_(text_, *out_);
    } catch (...) {
        failure = std::current_exception();
        out_.reset();
    }
    const std::lock_guard lock(mutex_);
    failure_ = failure;
    done_ = true;
    changed_.notify_all();
}

void WriterThread::publish() {
    wait();
    out_->publish();
}

void WriterThread::wait() {
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
        out_ = std::make_unique<OutputFile>(outputPath_);
        writer_(text_, *out_);
    }
}

} // namespace orv
