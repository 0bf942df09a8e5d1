#include "netinfo/LookScheduler.h"

#include <utility>

namespace netinfo {

LookScheduler::LookScheduler(platform::RunLoop& loop, Look look)
    : loop_(loop), look_(std::move(look)) {}

LookScheduler::~LookScheduler() {
    cancelTimer();
}

void LookScheduler::eventArrived() {
    // A pending retry is superseded: the event brings its own look, and a
    // new run of failures starts from the short pause again.
    if (retrying_) {
        cancelTimer();
    }
    failures_ = 0;
    if (timer_ == 0) {
        timer_ = loop_.addTimer(kSettleDelay, {}, [this] { lookNow(); });
    }
}

void LookScheduler::lookNow() {
    timer_ = 0;
    retrying_ = false;
    if (look_()) {
        return;  // the look may have destroyed us
    }
    if (failures_ == kMaxRetries) {
        return;  // the next event looks again
    }
    const auto pause = kFirstRetryDelay * (1 << failures_++);
    timer_ = loop_.addTimer(pause, {}, [this] { lookNow(); });
    retrying_ = true;
}

void LookScheduler::cancelTimer() {
    if (timer_ != 0) {
        loop_.invalidateTimer(timer_);
        timer_ = 0;
    }
    retrying_ = false;
}

}  // namespace netinfo
