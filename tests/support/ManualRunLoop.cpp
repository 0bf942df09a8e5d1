#include "support/ManualRunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/UniqueFd.h"
#include "platform/SystemLog.h"

namespace testing_support {

using platform::RunLoop;
using platform::WriteToSystemLog;

struct ManualRunLoop::State {
    struct Timer {
        TimerId id;
        Duration interval;
        std::shared_ptr<Callback> callback;
    };
    // By due time, then by the order they were (re)scheduled in.
    using Timers = std::map<std::pair<TimePoint, std::uint64_t>, Timer>;

    explicit State(Clock c) : clock(c) {}

    const Clock clock;
    TimePoint virtualNow{};
    std::uint64_t nextId = 1;  // also orders the timers scheduled for the same time
    Timers timers;
    std::map<WatchId, std::pair<int, std::shared_ptr<Callback>>> watches;
    base::UniqueFd wakeFd{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::mutex postedMutex;
    std::deque<Callback> posted;

    TimePoint now() const {
        return clock == Clock::Virtual ? virtualNow : std::chrono::steady_clock::now();
    }

    // The earliest timer due by limit that was scheduled before the given order.
    Timers::iterator nextDue(TimePoint limit, std::uint64_t before = UINT64_MAX) {
        return std::find_if(timers.begin(), timers.end(), [&](const auto& timer) {
            return timer.first.first <= limit && timer.first.second < before;
        });
    }

    // Reschedules or forgets the timer before calling it, so that the
    // callback is free to invalidate it or add new timers.
    void fire(Timers::iterator due) {
        auto timer = timers.extract(due);
        const auto callback = timer.mapped().callback;
        if (timer.mapped().interval.count() > 0) {
            timer.key() = {timer.key().first + timer.mapped().interval, nextId++};
            timers.insert(std::move(timer));
        }
        (*callback)();
    }
};

ManualRunLoop::ManualRunLoop(Clock clock) : state_(std::make_unique<State>(clock)) {}

ManualRunLoop::~ManualRunLoop() = default;

RunLoop::TimerId ManualRunLoop::addTimer(Duration fireDelay, Duration repeatInterval,
                                         Callback callback) {
    const TimerId id = state_->nextId++;
    state_->timers[{state_->now() + std::max(fireDelay, Duration::zero()), id}] = {
        id, repeatInterval, std::make_shared<Callback>(std::move(callback))};
    return id;
}

void ManualRunLoop::invalidateTimer(TimerId id) {
    std::erase_if(state_->timers, [id](const auto& timer) { return timer.second.id == id; });
}

RunLoop::WatchId ManualRunLoop::watchReadable(int fd, Callback callback) {
    const WatchId id = state_->nextId++;
    state_->watches[id] = {fd, std::make_shared<Callback>(std::move(callback))};
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
    State& s = *state_;
    if (s.clock != Clock::Virtual || d.count() < 0) {
        return;
    }
    const TimePoint target = s.virtualNow + d;
    for (auto due = s.nextDue(target); due != s.timers.end(); due = s.nextDue(target)) {
        s.virtualNow = std::max(s.virtualNow, due->first.first);
        s.fire(due);
    }
    s.virtualNow = target;
}

bool ManualRunLoop::runOnce(Duration maxWait) {
    State& s = *state_;
    Duration wait = std::max(maxWait, Duration::zero());
    if (s.clock == Clock::Real && !s.timers.empty()) {
        const auto untilDue = std::chrono::ceil<Duration>(s.timers.begin()->first.first - s.now());
        wait = std::clamp(untilDue, Duration::zero(), wait);
    }
    std::vector<pollfd> fds{{s.wakeFd.get(), POLLIN, 0}};
    std::vector<WatchId> ids{0};
    for (const auto& [id, watch] : s.watches) {
        fds.push_back({watch.first, POLLIN, 0});
        ids.push_back(id);
    }
    const int ready =
        poll(fds.data(), fds.size(), static_cast<int>(std::min(wait.count(), 1L << 30)));
    if (ready < 0 && errno != EINTR) {
        WriteToSystemLog("Run loop: poll failed: " + std::to_string(errno));
    }
    for (std::uint64_t count = 0; read(s.wakeFd.get(), &count, sizeof count) > 0;) {
    }
    const auto batch = [&s] {
        std::lock_guard lock(s.postedMutex);
        return std::exchange(s.posted, {});
    }();
    for (const auto& callback : batch) {
        callback();
    }
    bool ran = !batch.empty();
    for (std::size_t i = 1; ready > 0 && i < fds.size(); ++i) {
        auto it = s.watches.find(ids[i]);
        if (it == s.watches.end() || fds[i].revents == 0) {
            continue;  // removed by an earlier callback of this round, or not ready
        }
        if (fds[i].revents & POLLNVAL) {  // closed under the watch: calling back would spin
            WriteToSystemLog("Run loop: dropping the watch of closed descriptor " +
                             std::to_string(fds[i].fd));
            s.watches.erase(it);
        } else {
            const auto callback = it->second.second;
            (*callback)();
            ran = true;
        }
    }
    // Each timer due now fires once; one that is still behind (or was added
    // meanwhile) waits for the next round, so it cannot starve the watches.
    const TimePoint limit = s.now();
    const std::uint64_t round = s.nextId;
    for (auto due = s.nextDue(limit, round); s.clock == Clock::Real && due != s.timers.end();
         due = s.nextDue(limit, round)) {
        s.fire(due);
        ran = true;
    }
    return ran;
}

bool ManualRunLoop::runUntil(const std::function<bool()>& done, Duration realTimeout) {
    // A condition changed by another thread without a post() is noticed within
    // this slice; everything posted or readable wakes the loop at once.
    constexpr Duration kSlice{50};
    const auto deadline = std::chrono::steady_clock::now() + realTimeout;
    for (auto left = realTimeout; !done() && left > Duration::zero();
         left = std::chrono::ceil<Duration>(deadline - std::chrono::steady_clock::now())) {
        runOnce(std::min(left, kSlice));
    }
    return done();
}

}  // namespace testing_support
