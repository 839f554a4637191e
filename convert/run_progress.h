#pragma once

#include "convert/front_end.h"
#include "io/conversion_error.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace orv {

// How far a run is. The decoded text is read once by the decoder's side and
// once by each writer; progress counts all of them against the source's
// size. Only the run's own thread talks to the front end; a writer on a
// helper thread just counts, and stops when the run does.
class RunProgress {
public:
    RunProgress(FrontEnd& frontEnd, std::uint64_t sourceBytes, int passes)
        : frontEnd_(frontEnd), total_(sourceBytes * static_cast<std::uint64_t>(passes)) {}

    // On the run's thread: counts, tells the front end, and throws
    // ConversionCancelled if it asks to stop.
    void advance(std::size_t bytes) {
        done_.fetch_add(bytes, std::memory_order_relaxed);
        poll();
    }
    // Tells the front end what every thread has counted; stops as advance() does.
    void poll();
    // On a helper thread: counts; throws ConversionCancelled once stop() was called.
    void advanceElsewhere(std::size_t bytes) {
        done_.fetch_add(bytes, std::memory_order_relaxed);
        if (stopped_.load(std::memory_order_relaxed))
            throw ConversionCancelled{};
    }
    // Makes the helpers' next advanceElsewhere() throw.
    void stop() { stopped_.store(true, std::memory_order_relaxed); }
    void finish() { frontEnd_.progress(total_, total_); }

private:
    FrontEnd& frontEnd_;
    const std::uint64_t total_;
    std::atomic<std::uint64_t> done_{0};
    std::atomic<bool> stopped_{false};
};

} // namespace orv
