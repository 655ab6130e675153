#include "archive/unpack/extract_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tessapak::archive {

namespace {

constexpr unsigned kMaxWorkers = 4;
// The calling thread wakes at least this often to report progress; workers
// do not wake it per entry, which would cost a switch for every tiny file.
constexpr auto kProgressInterval = std::chrono::milliseconds(5);

class Pool {
  public:
    Pool(std::vector<ExtractGroup> groups, std::int64_t total)
        : groups_(std::move(groups)), total_(total) {}

    void work(unsigned worker, const std::function<void(unsigned, std::size_t)>& write) {
        try {
            while (const ExtractGroup* group = stopped() ? nullptr : nextGroup()) {
                for (const std::size_t entry : group->entries) {
                    if (stopped()) {
                        break;
                    }
                    write(worker, entry);
                    written_.fetch_add(1, std::memory_order_release);
                }
            }
        } catch (...) {
            fail(std::current_exception());
        }
        finishedOne();
    }

    // Reports progress on the calling thread until every worker is done or
    // one failed.
    void report(const ProgressCallback& progress, unsigned workers) {
        std::int64_t reported = 0;
        while (true) {
            bool done;
            {
                std::lock_guard lock(mutex_);
                done = finished_ == workers;
            }
            // Read after done: a worker counts its entries before it finishes.
            const std::int64_t written = written_.load(std::memory_order_acquire);
            while (reported < written && !stopped()) {
                ++reported;
                if (progress) {
                    try {
                        progress(reported, total_);
                    } catch (...) {
                        fail(std::current_exception());
                    }
                }
            }
            if (done || stopped()) {
                return;
            }
            std::unique_lock lock(mutex_);
            if (finished_ != workers && !stopped()) {
                wake_.wait_for(lock, kProgressInterval);
            }
        }
    }

    void fail(std::exception_ptr error) {
        std::lock_guard lock(mutex_);
        if (!error_) {
            error_ = std::move(error);
        }
        stop_.store(true, std::memory_order_relaxed);
        wake_.notify_all();
    }

    std::exception_ptr error() {
        std::lock_guard lock(mutex_);
        return error_;
    }

  private:
    bool stopped() const { return stop_.load(std::memory_order_relaxed); }

    const ExtractGroup* nextGroup() {
        std::lock_guard lock(mutex_);
        return next_ < groups_.size() ? &groups_[next_++] : nullptr;
    }

    void finishedOne() {
        std::lock_guard lock(mutex_);
        ++finished_;
        wake_.notify_all();
    }

    std::vector<ExtractGroup> groups_;
    const std::int64_t total_;
    std::atomic<std::int64_t> written_{0};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::size_t next_ = 0;
    unsigned finished_ = 0;
    std::exception_ptr error_;
};

void runInline(const std::vector<ExtractGroup>& groups,
               const std::function<void(unsigned, std::size_t)>& write,
               const ProgressCallback& progress) {
    std::vector<std::size_t> order;
    for (const ExtractGroup& group : groups) {
        order.insert(order.end(), group.entries.begin(), group.entries.end());
    }
    std::sort(order.begin(), order.end());
    const auto total = static_cast<std::int64_t>(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        write(0, order[i]);
        if (progress) {
            progress(static_cast<std::int64_t>(i) + 1, total);
        }
    }
}

}  // namespace

unsigned extractWorkerCount(unsigned hardwareThreads) {
    return std::clamp(hardwareThreads, 1U, kMaxWorkers);
}

void runExtractPool(std::vector<ExtractGroup> groups, unsigned workers,
                    const std::function<void(unsigned, std::size_t)>& write,
                    const ProgressCallback& progress) {
    std::int64_t total = 0;
    for (const ExtractGroup& group : groups) {
        total += static_cast<std::int64_t>(group.entries.size());
    }
    workers = std::min<unsigned>(
        workers, static_cast<unsigned>(std::min<std::size_t>(groups.size(), kMaxWorkers)));
    if (workers <= 1) {
        runInline(groups, write, progress);
        return;
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const ExtractGroup& a, const ExtractGroup& b) { return a.cost > b.cost; });

    Pool pool(std::move(groups), total);
    std::vector<std::thread> threads;
    threads.reserve(workers);
    try {
        for (unsigned w = 0; w < workers; ++w) {
            threads.emplace_back([&pool, &write, w] { pool.work(w, write); });
        }
    } catch (...) {
        // No thread to spare: the ones that started finish the work.
        if (threads.empty()) {
            throw;
        }
    }
    pool.report(progress, static_cast<unsigned>(threads.size()));
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (std::exception_ptr error = pool.error()) {
        std::rethrow_exception(error);
    }
}

}  // namespace tessapak::archive
