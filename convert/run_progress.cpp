#include "convert/run_progress.h"

#include "io/conversion_error.h"

#include <algorithm>

namespace orv {

void RunProgress::poll() {
    frontEnd_.progress(std::min(total_, done_.load(std::memory_order_relaxed)), total_);
    if (frontEnd_.cancelled()) {
        stop();
        throw ConversionCancelled{};
    }
}

} // namespace orv
