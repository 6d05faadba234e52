#include "core/turn_queue.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace oz {
namespace {

// Workers started in reverse order of their tickets still run in ticket order, one at a time.
TEST(TurnQueue, ServesTicketsInDrawOrderOneAtATime) {
    TurnQueue queue;
    constexpr int kWorkers = 8;
    std::vector<TurnQueue::Ticket> tickets;
    for (int i = 0; i < kWorkers; ++i) tickets.push_back(queue.draw());

    std::mutex mutex;
    std::vector<TurnQueue::Ticket> order;
    int inside = 0, mostInside = 0;
    std::vector<std::thread> workers;
    for (int i = kWorkers - 1; i >= 0; --i) {
        workers.emplace_back([&, ticket = tickets[static_cast<std::size_t>(i)]] {
            TurnQueue::Turn turn(queue, ticket);
            {
                std::lock_guard lock(mutex);
                mostInside = std::max(mostInside, ++inside);
                order.push_back(ticket);
            }
            std::this_thread::yield();
            std::lock_guard lock(mutex);
            --inside;
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(order, tickets);
    EXPECT_EQ(mostInside, 1);
}

}  // namespace
}  // namespace oz
