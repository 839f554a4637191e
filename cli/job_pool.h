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
// keeps what waits for its turn small.
void runJobs(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work,
             const std::function<void(std::size_t)>& ended,
             const std::function<void(std::size_t)>& inOrder, std::size_t window = 4096);

// The processors this process may run on.
unsigned availableProcessors();

} // namespace orv::cli
