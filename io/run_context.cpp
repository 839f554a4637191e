#include "io/run_context.h"

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace orv {
namespace {

thread_local const RunContext* current = nullptr;

mode_t processUmask() {
    // umask() can only be read by setting it, which would briefly change it
    // for every other thread; the kernel shows it without that.
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("Umask:"))
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
        const mode_t old = ::umask(077);
        ::umask(old);
        return old;
    }();
    return mask;
}

} // namespace

ScopedRunContext::ScopedRunContext(RunContext context)
    : context_(std::move(context)), outer_(current) {
    current = &context_;
}

ScopedRunContext::~ScopedRunContext() {
    current = outer_;
}

mode_t newFileMode(mode_t sourceMode) {
    return 0666 & ~processUmask() & sourceMode & 07777;
}

mode_t currentOutputMode() {
    return current != nullptr ? current->outputMode : newFileMode();
}

void noteBlockRead(std::size_t bytes) {
    if (current != nullptr && current->onBlockRead)
        current->onBlockRead(bytes);
}

} // namespace orv
