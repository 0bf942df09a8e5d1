#include "controller/MailThrottle.h"

#include <utility>

#include "controller/ExternalAnswer.h"

namespace controller {

MailThrottle::MailThrottle(platform::RunLoop& loop, Send send, Held held, Dropped dropped)
    : loop_(loop),
      send_(std::move(send)),
      heldNote_(std::move(held)),
      dropped_(std::move(dropped)),
      lastRefill_(loop.now()) {}

MailThrottle::~MailThrottle() {
    if (timer_) {
        loop_.invalidateTimer(*timer_);
    }
}

void MailThrottle::refill() {
    // Tokens come back one a minute from the last refill; a full bucket
    // restarts the count, so a quiet hour does not bank more than kBurst.
    const auto now = loop_.now();
    while (tokens_ < kBurst && now >= nextToken()) {
        ++tokens_;
        lastRefill_ += kRefill;
    }
    if (tokens_ == kBurst) {
        lastRefill_ = now;
    }
}

void MailThrottle::offer(const Change& change) {
    refill();
    if (!held_ && tokens_ > 0) {
        if (tokens_ == kBurst) {
            lastRefill_ = loop_.now();
        }
        --tokens_;
        lastMailed_ = change.to;
        send_(change, false);
        return;
    }
    if (!held_) {
        held_ = Change{lastMailed_ ? lastMailed_ : change.from, change.to};
    } else {
        held_->to = change.to;
    }
    if (held_->from && SameAddressIgnoringCase(*held_->from, held_->to)) {
        held_.reset();  // back where the last mail left it: nothing to tell
        if (timer_) {
            loop_.invalidateTimer(*timer_);
            timer_.reset();
        }
        dropped_(change.to);
    } else {
        heldNote_(nextToken());
    }
    if (held_) {
        waitForToken();
    }
}

void MailThrottle::waitForToken() {
    if (timer_) {
        return;
    }
    // Rounded up: a timer that fired before the token is due would find
    // none and have to wait again.
    timer_ =
        loop_.addTimer(std::chrono::ceil<platform::RunLoop::Duration>(nextToken() - loop_.now()),
                       platform::RunLoop::Duration::zero(), [this] {
                           timer_.reset();
                           sendHeld();
                       });
}

void MailThrottle::sendHeld() {
    refill();
    if (!held_) {
        return;
    }
    if (tokens_ == 0) {
        waitForToken();  // woken early: the held mail must not be forgotten
        return;
    }
    --tokens_;
    const Change change = std::move(*held_);
    held_.reset();
    lastMailed_ = change.to;
    send_(change, true);
}

}  // namespace controller
