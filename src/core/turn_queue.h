#pragma once
// First come, first served: workers take turns at the interpreter in the order of the clicks
// that started them. A ticket is drawn at the click; the worker waits for it to come up.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

namespace oz {

class TurnQueue {
public:
    using Ticket = std::uint64_t;

    Ticket draw();
    // For a ticket whose worker never came to be (its thread could not start): its turn passes.
    void skip(Ticket ticket);

    // Holds the turn of one ticket from the moment it comes up until destruction. A ticket must
    // always be taken, even by a worker that has nothing to do, or the ones behind it would wait.
    class Turn {
    public:
        Turn(TurnQueue& queue, Ticket ticket);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        TurnQueue& queue_;
    };

private:
    void advanceLocked();

    std::mutex mutex_;
    std::condition_variable changed_;
    Ticket next_ = 0;
    Ticket serving_ = 0;
    std::set<Ticket> skipped_;
};

}  // namespace oz
