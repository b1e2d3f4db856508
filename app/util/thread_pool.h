// A fixed set of worker threads running submitted jobs in submission order.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace mirofoto {

class ThreadPool {
public:
    /// Starts the workers; 0 means one per processor core.
    explicit ThreadPool(unsigned threads = 0);
    /// Finishes every queued job, then stops the workers.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    /// Queues a job; the future becomes ready when it has run (and carries
    /// an exception it threw).
    std::future<void> submit(std::function<void()> job);

    unsigned size() const { return static_cast<unsigned>(m_workers.size()); }

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

}  // namespace mirofoto
