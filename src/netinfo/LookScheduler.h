#pragma once

#include <functional>

#include "platform/RunLoop.h"

namespace netinfo {

// Decides when to take a fresh look at the address list after kernel
// events. Events that arrive together settle into one look. A look that
// fails (the kernel refused the dump, no socket could be opened) is tried
// again after 1 s, then after twice the pause each time, up to kMaxRetries
// times; the next event starts afresh. So the list ends right even when no
// further event comes, and a lasting failure costs a handful of attempts,
// not a polling loop.
class LookScheduler {
public:
    // True when the look succeeded. It may destroy the scheduler, but only
    // when it succeeds.
    using Look = std::function<bool()>;

    // How long events settle before the look: a burst (an interface coming
    // up brings several) becomes one look, while a single change still
    // reaches the caller quickly.
    static constexpr platform::RunLoop::Duration kSettleDelay{20};
    static constexpr platform::RunLoop::Duration kFirstRetryDelay{1000};
    static constexpr int kMaxRetries = 6;

    LookScheduler(platform::RunLoop& loop, Look look);
    ~LookScheduler();
    LookScheduler(const LookScheduler&) = delete;
    LookScheduler& operator=(const LookScheduler&) = delete;

    void eventArrived();

private:
    void lookNow();
    void cancelTimer();

    platform::RunLoop& loop_;
    Look look_;
    platform::RunLoop::TimerId timer_ = 0;
    bool retrying_ = false;
    int failures_ = 0;
};

}  // namespace netinfo
