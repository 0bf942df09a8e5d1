#pragma once

#include <QObject>
#include <map>
#include <memory>

#include "platform/RunLoop.h"

class QSocketNotifier;
class QTimer;

namespace platform {

// The program's RunLoop over the Qt event loop of the thread that made it
// (a QCoreApplication must exist). post() may be called from any thread.
class QtRunLoop : public RunLoop {
public:
    QtRunLoop();
    ~QtRunLoop() override;

    TimerId addTimer(Duration fireDelay, Duration repeatInterval, Callback callback) override;
    void invalidateTimer(TimerId id) override;
    WatchId watchReadable(int fd, Callback callback) override;
    void removeWatch(WatchId id) override;
    void post(Callback callback) override;
    TimePoint now() const override;

private:
    QObject context_;  // posted work is queued to it
    std::uint64_t nextId_ = 1;
    std::map<TimerId, QTimer*> timers_;
    std::map<WatchId, QSocketNotifier*> watches_;
};

}  // namespace platform
