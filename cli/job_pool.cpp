#include "cli/job_pool.h"

#include <condition_variable>
#include <mutex>
#include <sched.h>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

namespace orv::cli {

namespace {

class Pool {
public:
    Pool(std::size_t count, std::size_t window, const std::function<JobEnd(std::size_t)>& work,
         const std::function<void(bool)>& flush, const std::function<void(std::size_t)>& ended,
         const std::function<void(std::size_t)>& inOrder)
        : count_(count), window_(window), work_(work), flush_(flush), ended_(ended),
          inOrder_(inOrder) {}

    void runWorker() {
        std::vector<std::size_t> grouped;  // this thread's jobs that end at a flush to come
        std::vector<std::size_t> awaiting; // flushed once, ending at the next flush
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex_);
                const auto mayGoOn = [&] { return next_ >= count_ || next_ < turn_ + window_; };
                // A thread never waits holding jobs that others may wait for.
                if ((!mayGoOn() || next_ >= count_) && (!grouped.empty() || !awaiting.empty())) {
                    lock.unlock();
                    flush_(true);
                    endAll(awaiting);
                    endAll(grouped);
                    lock.lock();
                }
                turnMoved_.wait(lock, mayGoOn);
                if (next_ >= count_)
                    return;
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
            case JobEnd::groupFull:
                grouped.push_back(index);
                flush_(false);
                endAll(awaiting);
                awaiting.swap(grouped);
                break;
            }
        }
    }

private:
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
        turnMoved_.notify_all();
    }

    std::size_t count_, window_;
    const std::function<JobEnd(std::size_t)>& work_;
    const std::function<void(bool)>& flush_;
    const std::function<void(std::size_t)>&ended_, &inOrder_;
    std::mutex mutex_;
    std::condition_variable turnMoved_;
    std::size_t next_ = 0, turn_ = 0;
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
        count, threads, ungrouped, [](bool) {}, ended, inOrder, window);
}

void runGroupedJobs(std::size_t count, unsigned threads,
                    const std::function<JobEnd(std::size_t)>& work,
                    const std::function<void(bool)>& flush,
                    const std::function<void(std::size_t)>& ended,
                    const std::function<void(std::size_t)>& inOrder, std::size_t window) {
    Pool pool(count, window < threads ? threads : window, work, flush, ended, inOrder);
    if (threads <= 1 || count <= 1) {
        pool.runWorker();
        return;
    }
    std::vector<std::jthread> workers;
    for (unsigned i = 0; i < threads && i < count; ++i) {
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
    if (workers.empty())
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
