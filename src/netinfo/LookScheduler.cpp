#include "netinfo/LookScheduler.h"

#include <utility>

namespace netinfo {

LookScheduler::LookScheduler(platform::RunLoop& loop, Look look)
    : loop_(loop), look_(std::move(look)) {}

LookScheduler::~LookScheduler() {
    cancel(window_);
    cancel(retry_);
}

void LookScheduler::eventArrived() {
    // A pending retry is superseded: the event brings its own look, and a
    // new run of failures starts from the short pause again.
    cancel(retry_);
    failures_ = 0;
    if (window_ != 0) {
        stale_ = true;
        return;
    }
    lookNow();  // may destroy us
}

// Invariant: stale_ is only ever true while the window is open.
void LookScheduler::lookNow() {
    stale_ = false;
    // Opened before the look, which may destroy us; the destructor closes it.
    window_ = loop_.addTimer(kSettleDelay, {}, [this] { windowClosed(); });
    if (look_()) {
        return;  // the look may have destroyed us
    }
    if (failures_ == kMaxRetries) {
        return;  // the next event looks again
    }
    const auto pause = kFirstRetryDelay * (1 << failures_++);
    retry_ = loop_.addTimer(pause, {}, [this] {
        retry_ = 0;
        lookNow();
    });
}

void LookScheduler::windowClosed() {
    window_ = 0;
    if (stale_) {
        lookNow();
    }
}

void LookScheduler::cancel(platform::RunLoop::TimerId& timer) {
    if (timer != 0) {
        loop_.invalidateTimer(timer);
        timer = 0;
    }
}

}  // namespace netinfo
