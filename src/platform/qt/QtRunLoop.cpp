#include "platform/qt/QtRunLoop.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace platform {

namespace {

// Qt objects are let go with deleteLater(): a callback may end its own timer
// or watch while Qt is still delivering the signal that called it.
template <typename Object>
void Retire(std::map<std::uint64_t, Object*>& objects, std::uint64_t id) {
    auto it = objects.find(id);
    if (it == objects.end()) {
        return;
    }
    Object* object = it->second;
    objects.erase(it);
    object->disconnect();
    object->deleteLater();
}

// QTimer counts in int milliseconds (about 24 days).
int TimerMilliseconds(RunLoop::Duration d) {
    return static_cast<int>(std::clamp<RunLoop::Duration::rep>(d.count(), 0, INT_MAX));
}

}  // namespace

QtRunLoop::QtRunLoop() = default;

QtRunLoop::~QtRunLoop() {
    for (auto& [id, timer] : timers_) {
        delete timer;
    }
    for (auto& [id, watch] : watches_) {
        delete watch;
    }
}

RunLoop::TimerId QtRunLoop::addTimer(Duration fireDelay, Duration repeatInterval,
                                     Callback callback) {
    const TimerId id = nextId_++;
    auto* timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    const bool repeats = repeatInterval.count() > 0;
    timer->setSingleShot(!repeats);
    auto shared = std::make_shared<Callback>(std::move(callback));
    const int interval = TimerMilliseconds(repeatInterval);
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, timer, repeats, interval, shared] {
        if (!repeats) {
            Retire(timers_, id);
        } else if (timer->interval() != interval) {
            timer->setInterval(interval);
        }
        auto keep = shared;  // the callback may retire this timer
        (*keep)();
    });
    timers_[id] = timer;
    timer->start(TimerMilliseconds(fireDelay));
    return id;
}

void QtRunLoop::invalidateTimer(TimerId id) {
    Retire(timers_, id);
}

RunLoop::WatchId QtRunLoop::watchReadable(int fd, Callback callback) {
    const WatchId id = nextId_++;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    auto shared = std::make_shared<Callback>(std::move(callback));
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [shared] {
        auto keep = shared;
        (*keep)();
    });
    watches_[id] = notifier;
    return id;
}

void QtRunLoop::removeWatch(WatchId id) {
    Retire(watches_, id);
}

void QtRunLoop::post(Callback callback) {
    QMetaObject::invokeMethod(
        &context_, [callback = std::move(callback)] { callback(); }, Qt::QueuedConnection);
}

RunLoop::TimePoint QtRunLoop::now() const {
    return std::chrono::steady_clock::now();
}

}  // namespace platform
