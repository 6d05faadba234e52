#include "core/turn_queue.h"

namespace oz {

TurnQueue::Ticket TurnQueue::draw() {
    std::lock_guard lock(mutex_);
    return next_++;
}

TurnQueue::Turn::Turn(TurnQueue& queue, Ticket ticket) : queue_(queue) {
    std::unique_lock lock(queue_.mutex_);
    queue_.changed_.wait(lock, [&] { return queue_.serving_ == ticket; });
}

TurnQueue::Turn::~Turn() {
    {
        std::lock_guard lock(queue_.mutex_);
        ++queue_.serving_;
    }
    queue_.changed_.notify_all();
}

}  // namespace oz
