#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "platform/RunLoop.h"

namespace controller {

// Keeps the log lines of the controller's work in order without making the
// loop wait. Jobs run one at a time, first come first served: the job at the
// head runs its steps, may wait for an answer (a reverse look-up, a page
// fetch) and calls its done() when its last line is written; the next job
// starts then. A head job that is still waiting after `bound` stops holding
// the queue: later jobs go ahead and its remaining lines come when its answer
// does. Loop thread only.
class LogSequencer {
public:
    using Done = std::function<void()>;
    using Job = std::function<void(Done done)>;

    LogSequencer(platform::RunLoop& loop, platform::RunLoop::Duration bound);
    ~LogSequencer();
    LogSequencer(const LogSequencer&) = delete;
    LogSequencer& operator=(const LogSequencer&) = delete;

    // Runs the job now when nothing is ahead of it, else queues it.
    void add(Job job);
    // Jobs queued and not yet started.
    std::size_t waiting() const { return queue_.size(); }

private:
    void runQueue();
    void finished(std::uint64_t job);
    void release();

    platform::RunLoop& loop_;
    platform::RunLoop::Duration bound_;
    std::deque<Job> queue_;
    bool headRunning_ = false;
    bool inRunQueue_ = false;  // a job that finishes inside its start does not recurse
    std::uint64_t head_ = 0;   // numbers the jobs started; done() of an older one is ignored
    std::optional<platform::RunLoop::TimerId> boundTimer_;
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace controller
