#pragma once

#include <cstddef>
#include <functional>
#include <sys/types.h>

namespace orv {

// What the conversion running on this thread asks of every file it opens:
// the mode of new outputs, and someone to tell of each block read (who may
// throw ConversionCancelled to stop the run). Set for the length of a run by
// ScopedRunContext; without one, outputs get the usual mode of a new file
// and nobody is told.
struct RunContext {
    mode_t outputMode;
    std::function<void(std::size_t bytesRead)> onBlockRead;
};

class ScopedRunContext {
public:
    explicit ScopedRunContext(RunContext context);
    ~ScopedRunContext();
    ScopedRunContext(const ScopedRunContext&) = delete;
    ScopedRunContext& operator=(const ScopedRunContext&) = delete;

private:
    RunContext context_;
    const RunContext* outer_;
};

// The mode a new output gets: 0666 less the umask, and never more than the
// source's own permission bits.
mode_t newFileMode(mode_t sourceMode = 07777);

mode_t currentOutputMode();
void noteBlockRead(std::size_t bytes);

} // namespace orv
