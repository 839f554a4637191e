#include "io/run_context.h"

#include <exception>
#include <sys/stat.h>
#include <utility>

namespace orv {
namespace {

thread_local const RunContext* current = nullptr;

} // namespace

ScopedRunContext::ScopedRunContext(RunContext context)
    : context_(std::move(context)), outer_(current) {
    current = &context_;
}

ScopedRunContext::~ScopedRunContext() {
    // Ended on another thread, or before one set inside it, it would leave
    // a context behind that no longer exists.
    if (current != &context_)
        std::terminate();
    current = outer_;
}

mode_t newFileMode(mode_t sourceMode) {
    return 0666 & sourceMode & 07777;
}

mode_t currentOutputMode() {
    return current != nullptr ? current->outputMode : newFileMode();
}

SourceIdentity currentSourceIdentity() {
    return current != nullptr ? current->source : SourceIdentity{};
}

void noteBlockRead(std::size_t bytes) {
    if (current != nullptr && current->onBlockRead)
        current->onBlockRead(bytes);
}

} // namespace orv
