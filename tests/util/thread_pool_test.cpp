// The program's one thread pool on its own: what it promises to everyone who
// shares it. No test sleeps: a job that must hold a worker waits on a gate
// the test opens.
#include "app/util/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using mirofoto::ThreadPool;

namespace {

// Holds a worker until opened.
struct Gate {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::function<void()> job() {
        return [f = opened] { f.wait(); };
    }
};

}  // namespace

TEST(ThreadPool, OneWorkerRunsTheJobsInTheOrderTheyCame) {
    ThreadPool pool(1);
    Gate gate;
    pool.submit(gate.job());
    std::vector<int> order;  // touched by the one worker only
    std::vector<std::future<void>> done;
    for (int i = 0; i < 50; ++i) done.push_back(pool.submit([&order, i] { order.push_back(i); }));
    gate.open.set_value();
    for (auto& d : done) d.wait();
    std::vector<int> expected;
    for (int i = 0; i < 50; ++i) expected.push_back(i);
    EXPECT_EQ(order, expected);
}

TEST(ThreadPool, AJobsExceptionReachesItsFutureAndTheWorkerGoesOn) {
    for (const unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        ThreadPool pool(threads);
        std::future<void> failing = pool.submit([] { throw std::runtime_error("broken picture"); });
        std::atomic<int> ran{0};
        std::vector<std::future<void>> after;
        for (int i = 0; i < 10; ++i) after.push_back(pool.submit([&ran] { ++ran; }));
        try {
            failing.get();
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "broken picture");
        }
        for (auto& f : after) EXPECT_NO_THROW(f.get());
        EXPECT_EQ(ran.load(), 10);
    }
}

// Going away, the pool finishes what was queued: the album run and the
// previews rely on every submitted job having run (or having said it will
// not) before what it points at goes.
TEST(ThreadPool, StoppingFinishesEveryQueuedJob) {
    std::atomic<int> ran{0};
    {
        ThreadPool pool(2);
        Gate gate;
        pool.submit(gate.job());
        pool.submit(gate.job());  // both workers held
        for (int i = 0; i < 200; ++i) pool.submit([&ran] { ++ran; });
        EXPECT_EQ(ran.load(), 0);
        gate.open.set_value();
    }
    EXPECT_EQ(ran.load(), 200);
}

TEST(ThreadPool, ManySmallJobsFromSeveralThreadsAllRunOnce) {
    ThreadPool pool(4);
    EXPECT_EQ(pool.size(), 4u);
    constexpr int kPerThread = 5000;
    std::vector<std::atomic<int>> hits(4 * kPerThread);
    std::vector<std::thread> submitters;
    std::mutex futuresMutex;
    std::vector<std::future<void>> futures;
    for (int t = 0; t < 4; ++t)
        submitters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                std::future<void> f = pool.submit([&hits, n = t * kPerThread + i] { ++hits[n]; });
                std::lock_guard lock(futuresMutex);
                futures.push_back(std::move(f));
            }
        });
    for (auto& s : submitters) s.join();
    for (auto& f : futures) f.wait();
    for (std::size_t n = 0; n < hits.size(); ++n) ASSERT_EQ(hits[n].load(), 1) << n;
}
