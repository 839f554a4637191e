#include "cli/job_pool.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sched.h>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

namespace orv::cli {

namespace {

// How long a worker that has run out of jobs waits for the next before it
// finishes its groups: a list that trickles in still fills groups, and a
// pause in it is told at once.
constexpr auto starvedGrace = std::chrono::milliseconds(200);

class Pool {
public:
    Pool(std::size_t window, const std::function<JobEnd(std::size_t)>& work,
         const std::function<unsigned(bool)>& flush, const std::function<void(std::size_t)>& ended,
         const std::function<void(std::size_t)>& inOrder)
        : window_(window), work_(work), flush_(flush), ended_(ended), inOrder_(inOrder) {}

    // Takes jobs until the list has ended and none is left; with drain, only
    // until none can be taken now, every group finished (the calling
    // thread's turn at the work when no worker could be started).
    void runWorker(bool drain = false) {
        std::vector<std::size_t> grouped; // this thread's jobs that end at a flush to come
        // Flushed already, oldest first: their groups' flush left them unfinished.
        std::deque<std::vector<std::size_t>> awaiting;
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex_);
                const auto ready = [&] { return next_ < offered_ && next_ < turn_ + window_; };
                const auto over = [&] { return closed_ && next_ >= offered_; };
                // Short of jobs because the list is slow, not because the
                // window holds the next back.
                const auto starved = [&] {
                    return !closed_ && next_ >= offered_ && offered_ < turn_ + window_;
                };
                // A thread never waits holding jobs that others may wait for,
                // nor, for long, while the list is slow to come.
                if (!ready() && (!grouped.empty() || !awaiting.empty())) {
                    if (!drain && starved())
                        jobsCame_.wait_for(lock, starvedGrace,
                                           [&] { return ready() || !starved(); });
                    if (!ready()) {
                        lock.unlock();
                        flush_(true);
                        endAll(awaiting, 0);
                        endAll(grouped);
                        lock.lock();
                    }
                }
                if (!ready()) {
                    if (drain)
                        return;
                    jobsCame_.wait(lock, [&] { return ready() || over(); });
                    if (!ready())
                        return;
                }
                index = next_++;
            }
            switch (work_(index)) {
            case JobEnd::ended: {
                const std::lock_guard lock(mutex_);
                end(index);
                break;
            }
            case JobEnd::grouped:
                grouped.push_back(index);
                break;
            case JobEnd::groupFull: {
                grouped.push_back(index);
                const unsigned unfinished = flush_(false);
                awaiting.push_back(std::move(grouped));
                grouped.clear();
                endAll(awaiting, unfinished);
                break;
            }
            }
        }
    }

    void offer(const std::function<void(std::size_t)>& fill, bool workHere) {
        std::unique_lock lock(mutex_);
        if (workHere && offered_ >= turn_ + window_) {
            lock.unlock();
            runWorker(true);
            lock.lock();
        }
        jobsCame_.wait(lock, [&] { return offered_ < turn_ + window_; });
        const std::size_t index = offered_;
        // The place of index is free: no worker takes it before it is offered.
        lock.unlock();
        fill(index);
        lock.lock();
        ++offered_;
        jobsCame_.notify_all();
    }

    void close() {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        jobsCame_.notify_all();
    }

private:
    // Ends the jobs of every group flushed but the last `unfinished`.
    void endAll(std::deque<std::vector<std::size_t>>& groups, std::size_t unfinished) {
        while (groups.size() > unfinished) {
            endAll(groups.front());
            groups.pop_front();
        }
    }

    void endAll(std::vector<std::size_t>& jobs) {
        const std::lock_guard lock(mutex_);
        for (const std::size_t index : jobs)
            end(index);
        jobs.clear();
    }

    // With the lock held.
    void end(std::size_t index) {
        ended_(index);
        waiting_.insert(index);
        while (!waiting_.empty() && *waiting_.begin() == turn_) {
            waiting_.erase(waiting_.begin());
            inOrder_(turn_++);
        }
        jobsCame_.notify_all();
    }

    std::size_t window_;
    const std::function<JobEnd(std::size_t)>& work_;
    const std::function<unsigned(bool)>& flush_;
    const std::function<void(std::size_t)>&ended_, &inOrder_;
    std::mutex mutex_;
    // Told of every change that may let someone go on: a job offered, a
    // turn moved, the list's end.
    std::condition_variable jobsCame_;
    std::size_t next_ = 0, turn_ = 0, offered_ = 0;
    bool closed_ = false;
    std::set<std::size_t> waiting_; // ended, not yet had their turn
};

} // namespace

void runJobs(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work,
             const std::function<void(std::size_t)>& ended,
             const std::function<void(std::size_t)>& inOrder, std::size_t window) {
    if (threads <= 1 || count <= 1) {
        // One at a time, every job ends in its turn: nothing to share or wait for.
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
            ended(i);
            inOrder(i);
        }
        return;
    }
    const std::function<JobEnd(std::size_t)> ungrouped = [&](std::size_t i) {
        work(i);
        return JobEnd::ended;
    };
    runGroupedJobs(
        count, threads, ungrouped, [](bool) { return 0u; }, ended, inOrder, window);
}

void runGroupedJobs(std::size_t count, unsigned threads,
                    const std::function<JobEnd(std::size_t)>& work,
                    const std::function<unsigned(bool)>& flush,
                    const std::function<void(std::size_t)>& ended,
                    const std::function<void(std::size_t)>& inOrder, std::size_t window) {
    runFedJobs(
        threads, count,
        [count](const OfferJob& offer) {
            for (std::size_t i = 0; i < count; ++i)
                offer([](std::size_t) {});
        },
        work, flush, ended, inOrder, window < threads ? threads : window);
}

void runFedJobs(unsigned threads, std::optional<std::size_t> count,
                const std::function<void(const OfferJob&)>& produce,
                const std::function<JobEnd(std::size_t)>& work,
                const std::function<unsigned(bool)>& flush,
                const std::function<void(std::size_t)>& ended,
                const std::function<void(std::size_t)>& inOrder, std::size_t window) {
    Pool pool(window == 0 ? 1 : window, work, flush, ended, inOrder);
    std::vector<std::jthread> workers;
    // A list whose jobs are all known needs no thread for one job at a time:
    // the calling thread offers them and takes its turn at the work.
    const bool oneAtATime = count && (threads <= 1 || *count <= 1);
    for (unsigned i = 0; !oneAtATime && i < threads && (!count || i < *count); ++i) {
        try {
            workers.emplace_back([&pool] {
                // A descriptor table of the worker's own, as a process has: the
                // kernel then skips the reference counting and locking that a
                // table shared between threads costs on every call on a file.
                // Without it the worker is merely slower.
                ::unshare(CLONE_FILES);
                pool.runWorker();
            });
        } catch (const std::system_error&) {
            // No more threads to be had (a process limit, or no memory for
            // a stack): those there are do the work.
            break;
        }
    }
    const bool workHere = workers.empty();
    try {
        produce([&](const std::function<void(std::size_t)>& fill) { pool.offer(fill, workHere); });
    } catch (...) {
        // The workers finish what was offered rather than wait for more.
        pool.close();
        throw;
    }
    pool.close();
    if (workHere)
        pool.runWorker();
}

unsigned availableProcessors() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    const unsigned fallback = std::thread::hardware_concurrency();
    return fallback > 0 ? fallback : 1;
}

} // namespace orv::cli
