#include "core/turn_queue.h"

namespace oz {

TurnQueue::Ticket TurnQueue::draw() {
    std::lock_guard lock(mutex_);
    return next_++;
}

void TurnQueue::skip(Ticket ticket) {
    {
        std::lock_guard lock(mutex_);
        if (ticket != serving_) {
            skipped_.insert(ticket);
            return;
        }
        advanceLocked();
    }
    changed_.notify_all();
}

void TurnQueue::advanceLocked() {
    ++serving_;
    while (skipped_.erase(serving_) > 0) ++serving_;
}

TurnQueue::Turn::Turn(TurnQueue& queue, Ticket ticket) : queue_(queue) {
    std::unique_lock lock(queue_.mutex_);
    queue_.changed_.wait(lock, [&] { return queue_.serving_ == ticket; });
}

TurnQueue::Turn::~Turn() {
    {
        std::lock_guard lock(queue_.mutex_);
        queue_.advanceLocked();
    }
    queue_.changed_.notify_all();
}

}  // namespace oz
