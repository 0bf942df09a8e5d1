#include "support/ManualRunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/UniqueFd.h"
#include "platform/SystemLog.h"

namespace testing_support {

using platform::RunLoop;
using platform::WriteToSystemLog;

namespace {

struct Timer {
    RunLoop::TimePoint due;
    RunLoop::Duration interval;
    std::uint64_t order;  // breaks ties between timers due at the same time
    std::shared_ptr<RunLoop::Callback> callback;
};

struct Watch {
    int fd;
    std::shared_ptr<RunLoop::Callback> callback;
};

}  // namespace

struct ManualRunLoop::State {
    Clock clock;
    TimePoint virtualNow{};
    std::uint64_t nextId = 1;
    std::uint64_t nextOrder = 1;
    std::map<TimerId, Timer> timers;
    std::map<WatchId, Watch> watches;

    base::UniqueFd wakeFd;
    std::mutex postedMutex;
    std::deque<Callback> posted;

    TimePoint now() const {
        return clock == Clock::Virtual ? virtualNow : std::chrono::steady_clock::now();
    }

    // The earliest timer due at or before limit, in due order; 0 when none.
    TimerId nextDue(TimePoint limit) const {
        TimerId best = 0;
        const Timer* bestTimer = nullptr;
        for (const auto& [id, timer] : timers) {
            if (timer.due > limit) {
                continue;
            }
            if (!bestTimer || timer.due < bestTimer->due ||
                (timer.due == bestTimer->due && timer.order < bestTimer->order)) {
                best = id;
                bestTimer = &timer;
            }
        }
        return best;
    }

    // Reschedules or forgets the timer before calling it, so that the
    // callback is free to invalidate it or add new timers.
    void fire(TimerId id) {
        auto it = timers.find(id);
        auto callback = it->second.callback;
        if (it->second.interval.count() > 0) {
            it->second.due += it->second.interval;
            it->second.order = nextOrder++;
        } else {
            timers.erase(it);
        }
        (*callback)();
    }

    // Fires each timer due by limit once, in due order. A repeating timer that
    // is still behind waits for the next round, so it cannot starve watches.
    bool runTimersDueBy(TimePoint limit) {
        std::vector<std::pair<TimePoint, std::pair<std::uint64_t, TimerId>>> due;
        for (const auto& [id, timer] : timers) {
            if (timer.due <= limit) {
                due.push_back({timer.due, {timer.order, id}});
            }
        }
        std::sort(due.begin(), due.end());
        bool fired = false;
        for (const auto& entry : due) {
            const TimerId id = entry.second.second;
            auto it = timers.find(id);
            if (it != timers.end() && it->second.due <= limit) {
                fire(id);
                fired = true;
            }
        }
        return fired;
    }

    bool runPosted() {
        std::deque<Callback> batch;
        {
            std::lock_guard lock(postedMutex);
            batch.swap(posted);
        }
        for (auto& callback : batch) {
            callback();
        }
        return !batch.empty();
    }

    void drainWakeFd() const {
        std::uint64_t count = 0;
        while (read(wakeFd.get(), &count, sizeof count) == sizeof count) {
        }
    }
};

ManualRunLoop::ManualRunLoop(Clock clock) : state_(std::make_unique<State>()) {
    state_->clock = clock;
    state_->wakeFd.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
}

ManualRunLoop::~ManualRunLoop() = default;

RunLoop::TimerId ManualRunLoop::addTimer(Duration fireDelay, Duration repeatInterval,
                                         Callback callback) {
    const TimerId id = state_->nextId++;
    state_->timers[id] =
        Timer{state_->now() + std::max(fireDelay, Duration::zero()), repeatInterval,
              state_->nextOrder++, std::make_shared<Callback>(std::move(callback))};
    return id;
}

void ManualRunLoop::invalidateTimer(TimerId id) {
    state_->timers.erase(id);
}

RunLoop::WatchId ManualRunLoop::watchReadable(int fd, Callback callback) {
    const WatchId id = state_->nextId++;
    state_->watches[id] = Watch{fd, std::make_shared<Callback>(std::move(callback))};
    return id;
}

void ManualRunLoop::removeWatch(WatchId id) {
    state_->watches.erase(id);
}

void ManualRunLoop::post(Callback callback) {
    {
        std::lock_guard lock(state_->postedMutex);
        state_->posted.push_back(std::move(callback));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = write(state_->wakeFd.get(), &one, sizeof one);
}

RunLoop::TimePoint ManualRunLoop::now() const {
    return state_->now();
}

void ManualRunLoop::advance(Duration d) {
    if (state_->clock != Clock::Virtual || d.count() < 0) {
        return;
    }
    const TimePoint target = state_->virtualNow + d;
    while (TimerId id = state_->nextDue(target)) {
        state_->virtualNow = std::max(state_->virtualNow, state_->timers[id].due);
        state_->fire(id);
    }
    state_->virtualNow = target;
}

bool ManualRunLoop::runOnce(Duration maxWait) {
    Duration wait = std::max(maxWait, Duration::zero());
    if (state_->clock == Clock::Real) {
        if (TimerId id = state_->nextDue(TimePoint::max())) {
            auto untilDue = std::chrono::ceil<Duration>(state_->timers[id].due - state_->now());
            wait = std::clamp(untilDue, Duration::zero(), wait);
        }
    }

    std::vector<pollfd> fds{{state_->wakeFd.get(), POLLIN, 0}};
    std::vector<WatchId> ids{0};
    for (const auto& [id, watch] : state_->watches) {
        fds.push_back({watch.fd, POLLIN, 0});
        ids.push_back(id);
    }
    const int timeoutMs = static_cast<int>(std::min<Duration::rep>(wait.count(), 1 << 30));
    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0 && errno != EINTR) {
        WriteToSystemLog("Run loop: poll failed: " + std::to_string(errno));
    }

    bool ran = false;
    if (ready > 0 && (fds[0].revents & POLLIN)) {
        state_->drainWakeFd();
    }
    ran |= state_->runPosted();
    for (std::size_t i = 1; ready > 0 && i < fds.size(); ++i) {
        auto it = state_->watches.find(ids[i]);
        if (it == state_->watches.end() || fds[i].revents == 0) {
            continue;  // removed by an earlier callback of this round, or not ready
        }
        if (fds[i].revents & POLLNVAL) {
            // The descriptor was closed under the watch; calling back would spin.
            WriteToSystemLog("Run loop: dropping the watch of closed descriptor " +
                             std::to_string(fds[i].fd));
            state_->watches.erase(it);
            continue;
        }
        auto callback = it->second.callback;
        (*callback)();
        ran = true;
    }
    if (state_->clock == Clock::Real) {
        ran |= state_->runTimersDueBy(state_->now());
    }
    return ran;
}

bool ManualRunLoop::runUntil(const std::function<bool()>& done, Duration realTimeout) {
    // A condition changed by another thread without a post() is noticed within
    // this slice; everything posted or readable wakes the loop at once.
    constexpr Duration kSlice{50};
    const auto deadline = std::chrono::steady_clock::now() + realTimeout;
    while (!done()) {
        const auto left = std::chrono::ceil<Duration>(deadline - std::chrono::steady_clock::now());
        if (left <= Duration::zero()) {
            return done();
        }
        runOnce(std::min(left, kSlice));
    }
    return true;
}

}  // namespace testing_support
