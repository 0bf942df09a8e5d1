#pragma once

#include <functional>

#include "platform/RunLoop.h"

namespace netinfo {

// Decides when to take a fresh look at the address list after kernel
// events. The first event after a quiet spell looks at once, and every look
// opens a short window: events inside it only mark the list as stale, and
// when the window closes one more look follows if they did (opening a new
// window). So a single change costs no wait, a burst costs at most one look
// per window, and the last look always comes after the last event.
//
// A look that fails (the kernel refused the dump, no socket could be
// opened) is tried again after 1 s, then after twice the pause each time,
// up to kMaxRetries times; the next event starts afresh. So the list ends
// right even when no further event comes, and a lasting failure costs a
// handful of attempts, not a polling loop.
class LookScheduler {
public:
    // True when the look succeeded. It may destroy the scheduler, but only
    // when it succeeds.
    using Look = std::function<bool()>;

    // How long after a look further events wait for the next one: an
    // interface coming up brings several events, and they share a look.
    static constexpr platform::RunLoop::Duration kSettleDelay{20};
    static constexpr platform::RunLoop::Duration kFirstRetryDelay{1000};
    static constexpr int kMaxRetries = 6;

    LookScheduler(platform::RunLoop& loop, Look look);
    ~LookScheduler();
    LookScheduler(const LookScheduler&) = delete;
    LookScheduler& operator=(const LookScheduler&) = delete;

    // May look before it returns (and the look may destroy the scheduler),
    // so the caller touches nothing of its own afterwards.
    void eventArrived();

private:
    void lookNow();
    void windowClosed();
    void cancel(platform::RunLoop::TimerId& timer);

    platform::RunLoop& loop_;
    Look look_;
    platform::RunLoop::TimerId window_ = 0;  // open while not 0
    platform::RunLoop::TimerId retry_ = 0;   // pending while not 0
    bool stale_ = false;                     // an event came inside the window
    int failures_ = 0;
};

}  // namespace netinfo
