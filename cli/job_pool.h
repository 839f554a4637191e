#pragma once

#include <cstddef>
#include <functional>

namespace orv::cli {

// Runs work(i) for every i below count on up to `threads` threads at once
// (on the calling thread alone when threads is 1). After each work(i),
// ended(i) is called as it ends, then inOrder(i) for every index whose
// turn has come, in index order, so that what inOrder prints is the same for
// any number of threads. ended and inOrder are never called concurrently.
// At most `window` indexes run ahead of the oldest unfinished one, which
// keeps what waits for its turn small. Should threads be refused, the run
// goes on with those it has, the calling thread at least.
void runJobs(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work,
             const std::function<void(std::size_t)>& ended,
             const std::function<void(std::size_t)>& inOrder, std::size_t window = 4096);

// What became of a job that work(i) returns: ended, or left in the calling
// thread's group, to end when flush() (on that thread) finishes the group.
enum class JobEnd { ended, grouped, groupFull };

// runJobs for work done in groups: a thread's grouped jobs end at a flush
// of that thread's. flush(false), when work says its group is full and the
// thread goes on, may finish the group before it rather than this one (the
// durable names of one group come with the next group's flush); flush(true),
// before the thread would wait for anything and when no work is left,
// finishes every group it holds.
void runGroupedJobs(std::size_t count, unsigned threads,
                    const std::function<JobEnd(std::size_t)>& work,
                    const std::function<void(bool last)>& flush,
                    const std::function<void(std::size_t)>& ended,
                    const std::function<void(std::size_t)>& inOrder, std::size_t window = 4096);

// The processors this process may run on.
unsigned availableProcessors();

} // namespace orv::cli
