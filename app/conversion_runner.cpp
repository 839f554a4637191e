#include "app/conversion_runner.h"

#include "app/window_services.h"

#include <optional>
#include <vector>

namespace orv {

// The conversion's front end on the worker thread. Opening a document is
// handed to the window's thread at once; the closing message waits until the
// run has returned, so the window never shows it while the run still holds
// a file.
class ConversionRunner::Worker final : public FrontEnd {
public:
    Worker(ConversionRunner& runner, std::shared_ptr<Shared> shared)
        : runner_(runner), shared_(std::move(shared)) {}

    void reportSuccess(const std::string& message) override { message_ = {true, message}; }
    void reportFailure(const std::string& description) override { message_ = {false, description}; }
    void reportWarning(const std::string& message) override { warnings_.push_back(message); }
    void openDocument(const std::string& path) override {
        WindowServices& services = runner_.services_;
        QMetaObject::invokeMethod(
            &runner_, [&services, path] { services.openDocument(path); }, Qt::QueuedConnection);
    }
    void progress(std::uint64_t done, std::uint64_t total) override {
        shared_->total = total;
        shared_->done = done;
    }
    bool cancelled() override { return shared_->cancelled; }

    // Read on the window's thread once the run has returned.
    struct Message {
        bool success = false;
        std::string text;
    };
    std::optional<Message> message_;
    std::vector<std::string> warnings_; // told before the closing message

private:
    ConversionRunner& runner_;
    std::shared_ptr<Shared> shared_;
};

ConversionRunner::ConversionRunner(WindowServices& services, QObject* parent)
    : QObject(parent), services_(services) {}

ConversionRunner::~ConversionRunner() {
    cancel();
}

void ConversionRunner::start(const ConversionJob& job) {
    if (running())
        return;
    progress_ = std::make_shared<Shared>();
    worker_ = std::make_unique<Worker>(*this, progress_);
    const unsigned run = ++run_;
    thread_ = std::thread([this, job, run, worker = worker_.get()] {
        convertDocument(job, *worker);
        QMetaObject::invokeMethod(
            this, [this, run] { complete(run); }, Qt::QueuedConnection);
    });
}

void ConversionRunner::cancel() {
    if (!running())
        return;
    progress_->cancelled = true;
    thread_.join();
    worker_.reset();
    emit finished();
}

void ConversionRunner::complete(unsigned run) {
    if (run != run_ || !running())
        return; // cancelled meanwhile
    thread_.join();
    const std::unique_ptr<Worker> worker = std::move(worker_);
    if (worker->message_ && !progress_->cancelled) {
        emit reporting();
        for (const std::string& warning : worker->warnings_)
            services_.reportWarning(warning);
        if (worker->message_->success)
            services_.reportSuccess(worker->message_->text);
        else
            services_.reportFailure(worker->message_->text);
    }
    emit finished();
}

} // namespace orv
