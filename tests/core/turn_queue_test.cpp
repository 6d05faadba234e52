#include "core/turn_queue.h"

#include <gtest/gtest.h>

#include <future>
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

namespace oz {
namespace {

// A skipped ticket, whether its turn has come or not, never holds up the ones behind it.
TEST(TurnQueue, SkippedTicketsPassTheirTurn) {
    TurnQueue queue;
    const auto first = queue.draw();
    const auto second = queue.draw();
    const auto third = queue.draw();
    const auto fourth = queue.draw();
    const auto fifth = queue.draw();
    queue.skip(second);  // not yet serving
    queue.skip(first);   // serving now: passes its turn and the skipped one behind it
    const auto takeTurn = [&](TurnQueue::Ticket ticket) {
        return std::async(std::launch::async, [&queue, ticket] { TurnQueue::Turn turn(queue, ticket); });
    };
    // A bound far beyond need: a turn that never comes shows as a failure, not a hang.
    EXPECT_EQ(takeTurn(third).wait_for(std::chrono::seconds(10)), std::future_status::ready);
    queue.skip(fourth);
    EXPECT_EQ(takeTurn(fifth).wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
}  // namespace oz
