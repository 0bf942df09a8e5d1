#include "controller/LogSequencer.h"

#include <utility>

namespace controller {

LogSequencer::LogSequencer(platform::RunLoop& loop, platform::RunLoop::Duration bound)
    : loop_(loop), bound_(bound) {}

LogSequencer::~LogSequencer() {
    if (boundTimer_) {
        loop_.invalidateTimer(*boundTimer_);
    }
}

void LogSequencer::add(Job job) {
    queue_.push_back(std::move(job));
    runQueue();
}

void LogSequencer::runQueue() {
    if (inRunQueue_) {
        return;  // the loop below picks the next job up
    }
    inRunQueue_ = true;
    while (!headRunning_ && !queue_.empty()) {
        Job job = std::move(queue_.front());
        queue_.pop_front();
        headRunning_ = true;
        const std::uint64_t number = ++head_;
        boundTimer_ = loop_.addTimer(bound_, platform::RunLoop::Duration::zero(), [this] {
            boundTimer_.reset();
            release();
        });
        std::weak_ptr<const bool> alive = alive_;
        job([this, alive, number] {
            if (alive.lock()) {
                finished(number);
            }
        });
    }
    inRunQueue_ = false;
}

void LogSequencer::finished(std::uint64_t job) {
    if (job != head_ || !headRunning_) {
        return;  // released earlier: the queue has gone on without it
    }
    if (boundTimer_) {
        loop_.invalidateTimer(*boundTimer_);
        boundTimer_.reset();
    }
    headRunning_ = false;
    runQueue();
}

void LogSequencer::release() {
    headRunning_ = false;
    runQueue();
}

}  // namespace controller
