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
// Whose outputs they are: the source's group and permission bits, for the
// rule that an output in another group than its source's is not opened to
// that group (see withoutForeignGroup).
struct SourceIdentity {
    bool known = false;
    gid_t group = 0;
    mode_t mode = 0;
};

struct RunContext {
    mode_t outputMode;
    std::function<void(std::size_t bytesRead)> onBlockRead;
    SourceIdentity source = {};
};

// Contexts nest; each ends on the thread that set it, innermost first.
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

// The mode a new output is made with: 0666, and never more than the source's
// own permission bits. The kernel then applies the umask, or the folder's
// default ACL, as for any new file.
mode_t newFileMode(mode_t sourceMode = 07777);

mode_t currentOutputMode();
SourceIdentity currentSourceIdentity();
void noteBlockRead(std::size_t bytes);

} // namespace orv
