#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/RunLoop.h"

namespace testing_support {

// A RunLoop driven by its caller. With the virtual clock time moves only
// through advance(), so timers are tested without waiting; with the real
// (steady) clock runOnce()/runUntil() fire them as they fall due. Watches and
// posted work are served by runOnce()/runUntil() in both.
class ManualRunLoop : public platform::RunLoop {
public:
    enum class Clock { Virtual, Real };
    explicit ManualRunLoop(Clock clock = Clock::Virtual);
    ~ManualRunLoop() override;
    // Callbacks hold on to the loop they were given: it stays where it is.
    ManualRunLoop(const ManualRunLoop&) = delete;
    ManualRunLoop& operator=(const ManualRunLoop&) = delete;

    TimerId addTimer(Duration fireDelay, Duration repeatInterval, Callback callback) override;
    void invalidateTimer(TimerId id) override;
    WatchId watchReadable(int fd, Callback callback) override;
    void removeWatch(WatchId id) override;
    void post(Callback callback) override;
    TimePoint now() const override;

    // Virtual clock only: moves time forward by d, running every timer that
    // falls due on the way, in due order, with now() at each one's due time.
    void advance(Duration d);

    // Waits up to maxWait (real time) for readable watches or posted work,
    // runs what is ready (and, with the real clock, timers now due).
    // Returns true when anything ran.
    bool runOnce(Duration maxWait);

    // Runs until done() holds or realTimeout passes; returns done().
    bool runUntil(const std::function<bool()>& done, Duration realTimeout);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The caller-driven loop on the real clock, for a tool's or a thread's main loop.
class RealTimeRunLoop : public ManualRunLoop {
public:
    RealTimeRunLoop() : ManualRunLoop(Clock::Real) {}
};

}  // namespace testing_support
