// The records queue itself: one item at a time, in posting order, on its own thread; blocking posts
// wait for everything posted before them.

#include "RecordsQueue.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(RecordsQueue, RunsPostedWorkSeriallyInEachPostersOrder) {
    RecordsQueue& queue = RecordsQueue::shared();
    constexpr int posters = 4;
    constexpr int perPoster = 2000;
    // Touched only on the queue; the blocking read below hands them over.
    std::vector<std::vector<int>> seen(posters);
    int running = 0;
    bool overlapped = false;
    bool offQueue = false;

    std::vector<std::thread> threads;
    for (int p = 0; p < posters; ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < perPoster; ++i)
                queue.post([&, p, i] {
                    overlapped |= ++running != 1;
                    offQueue |= !queue.isCurrent();
                    seen[p].push_back(i);
                    --running;
                });
        });
    for (auto& thread : threads)
        thread.join();

    const auto result = queue.sync([&] { return seen; });
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(offQueue);
    for (int p = 0; p < posters; ++p) {
        ASSERT_EQ(result[p].size(), static_cast<size_t>(perPoster));
        for (int i = 0; i < perPoster; ++i)
            ASSERT_EQ(result[p][i], i);
    }
}

TEST(RecordsQueue, RunsOnANamedThreadOfItsOwn) {
    RecordsQueue& queue = RecordsQueue::shared();
    EXPECT_FALSE(queue.isCurrent());
    const auto [name, thread] = queue.sync(
        [] { return std::make_pair(QThread::currentThread()->objectName(), QThread::currentThread()); });
    EXPECT_EQ(name, QString::fromLatin1(RecordsQueue::label));
    EXPECT_NE(thread, QThread::currentThread());
    EXPECT_EQ(queue.context()->thread(), thread);
}

TEST(RecordsQueue, BlockingPostsFromManyThreadsSeeEachOthersWork) {
    RecordsQueue& queue = RecordsQueue::shared();
    int counter = 0; // only touched on the queue
    std::vector<std::thread> threads;
    std::atomic<int> lastSeen{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                queue.post([&] { ++counter; });
                const int now = queue.sync([&] { return counter; });
                int previous = lastSeen.load();
                while (now > previous && !lastSeen.compare_exchange_weak(previous, now)) {
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(queue.sync([&] { return counter; }), 1000);
    EXPECT_EQ(lastSeen.load(), 1000);
}

TEST(RecordsQueueDeathTest, BlockingPostFromTheQueueItselfStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            RecordsQueue& queue = RecordsQueue::shared();
            queue.sync([&] { queue.sync([] {}); });
        },
        "blocking post from the records queue itself");
}

} // namespace
