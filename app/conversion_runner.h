#pragma once

#include "convert/convert_document.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace orv {

class WindowServices;

// Runs one conversion at a time on a thread of its own, so that the window
// keeps painting. What the conversion reports comes back to the window's
// thread in the order it was said: documents are opened, then the closing
// message is shown.
class ConversionRunner : public QObject {
    Q_OBJECT
public:
    explicit ConversionRunner(WindowServices& services, QObject* parent = nullptr);
    // Cancels a run still going.
    ~ConversionRunner() override;

    bool running() const { return thread_.joinable(); }
    void start(const ConversionJob& job);
    // Stops the run at its next block and waits for it: earlier outputs stay
    // as they were and nothing is reported. A run already past its last block
    // finishes, unreported.
    void cancel();

    // Source bytes done so far, out of total; readable while the run goes.
    std::uint64_t done() const { return progress_->done; }
    std::uint64_t total() const { return progress_->total; }

signals:
    // The run is over and its message is about to be shown.
    void reporting();
    // The message has been dismissed (or the run was cancelled).
    void finished();

private:
    struct Shared {
        std::atomic<std::uint64_t> done{0}, total{0};
        std::atomic<bool> cancelled{false};
    };
    class Worker;

    void complete(unsigned run);

    WindowServices& services_;
    std::shared_ptr<Shared> progress_ = std::make_shared<Shared>();
    std::unique_ptr<Worker> worker_;
    std::thread thread_;
    unsigned run_ = 0;
};

} // namespace orv
