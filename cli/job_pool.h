#pragma once

#include <cstddef>
#include <functional>
#include <optional>

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

// runGroupedJobs for work done in groups: a thread's grouped jobs end at a flush
// of that thread's. flush(false), when work says its group is full and the
// thread goes on, finishes every group it holds but the last one or two (the
// durable names of one group come with a later group's flush, which may run
// while the thread goes on) and returns how many it left unfinished, this one
// included; flush(true), before the thread would wait for anything and when
// no work is left, finishes every group it holds.
void runGroupedJobs(std::size_t count, unsigned threads,
                    const std::function<JobEnd(std::size_t)>& work,
                    const std::function<unsigned(bool last)>& flush,
                    const std::function<void(std::size_t)>& ended,
                    const std::function<void(std::size_t)>& inOrder, std::size_t window = 4096);

// Hands the next job to the workers: waits until its index is less than
// `window` ahead of the oldest job that has not had its turn, calls
// fill(index) (which may store the job at index % window: that place is
// free), and lets the workers take it.
using OfferJob = std::function<void(const std::function<void(std::size_t)>& fill)>;

// runGroupedJobs for jobs that become known while the run goes on:
// produce(offer) runs on the calling thread and offers each job as it comes
// to know it, while the workers already run those offered; the list ends when
// produce returns. A worker that runs out of jobs before then waits for the
// next, finishing its groups first should none come soon, so that what is
// done is told without waiting for the rest of the list. count, when known
// beforehand, spares threads that would find nothing to do. window must be at
// least threads.
void runFedJobs(unsigned threads, std::optional<std::size_t> count,
                const std::function<void(const OfferJob&)>& produce,
                const std::function<JobEnd(std::size_t)>& work,
                const std::function<unsigned(bool last)>& flush,
                const std::function<void(std::size_t)>& ended,
                const std::function<void(std::size_t)>& inOrder, std::size_t window);

// The processors this process may run on.
unsigned availableProcessors();

} // namespace orv::cli
