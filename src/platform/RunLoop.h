#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace platform {

// The program's one main loop: timers, file-descriptor watches and work
// posted from other threads all run here, one callback at a time.
// The desktop program uses the Qt event loop; tests use ManualRunLoop, whose
// clock can be virtual so timer behaviour is tested without waiting.
class RunLoop {
public:
    using Callback = std::function<void()>;
    using Duration = std::chrono::milliseconds;
    using TimePoint = std::chrono::steady_clock::time_point;
    using TimerId = std::uint64_t;  // never 0
    using WatchId = std::uint64_t;  // never 0

    virtual ~RunLoop() = default;

    // Fires once after fireDelay, then every repeatInterval when that is
    // positive. The callback may invalidate its own timer.
    virtual TimerId addTimer(Duration fireDelay, Duration repeatInterval, Callback callback) = 0;
    // Unknown or already finished ids are ignored.
    virtual void invalidateTimer(TimerId id) = 0;

    // Calls back on the loop whenever fd is readable, until removed.
    virtual WatchId watchReadable(int fd, Callback callback) = 0;
    virtual void removeWatch(WatchId id) = 0;

    // Thread-safe: runs callback on the loop's thread, in posting order.
    virtual void post(Callback callback) = 0;

    // The loop's clock (virtual in tests).
    virtual TimePoint now() const = 0;
};

}  // namespace platform
