#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/RunLoop.h"

namespace controller {

// Keeps one kind of change e-mail (internal or external) from flooding the
// recipients: a bucket of 3 mails, one more each minute. A change that finds
// the bucket empty is held; further changes update what is held, so the one
// mail that goes out when the next token comes reports the change from the
// address last mailed to the newest one, and nothing at all when the address
// went back to the one last mailed. A timer runs only while a change is held.
// Loop thread only.
class MailThrottle {
public:
    struct Change {
        std::optional<std::string> from;
        std::string to;
    };
    // Sends the mail for a change: at once inside offer(), or held and sent
    // later from the throttle's timer (wasHeld).
    using Send = std::function<void(const Change& change, bool wasHeld)>;
    // Tells why a change waits (due: when its mail may go) or was dropped.
    using Held = std::function<void(platform::RunLoop::TimePoint due)>;
    using Dropped = std::function<void(const std::string& address)>;

    static constexpr int kBurst = 3;
    static constexpr platform::RunLoop::Duration kRefill = std::chrono::minutes(1);

    MailThrottle(platform::RunLoop& loop, Send send, Held held, Dropped dropped);
    ~MailThrottle();
    MailThrottle(const MailThrottle&) = delete;
    MailThrottle& operator=(const MailThrottle&) = delete;

    void offer(const Change& change);
    bool holding() const { return held_.has_value(); }

private:
    void refill();
    void waitForToken();
    void sendHeld();
    platform::RunLoop::TimePoint nextToken() const { return lastRefill_ + kRefill; }

    platform::RunLoop& loop_;
    Send send_;
    Held heldNote_;
    Dropped dropped_;
    int tokens_ = kBurst;
    platform::RunLoop::TimePoint lastRefill_;
    std::optional<std::string> lastMailed_;  // the "to" of the last mail sent
    std::optional<Change> held_;
    std::optional<platform::RunLoop::TimerId> timer_;
};

}  // namespace controller
