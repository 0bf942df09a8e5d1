#pragma once

#include <QDBusConnection>
#include <QThread>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/GuiSink.h"
#include "controller/AppController.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

namespace app {

// The controller's own thread. It plays the part of the desktop's main
// thread: a Qt event loop with a QtRunLoop made on it runs the controller's
// timers, the address change source, the mail results and the "Preferences
// Changed" observer, one at a time, and may wait on a bounded fetch or
// look-up without stalling the GUI.
class ControllerThread : public QThread {
    Q_OBJECT
public:
    using Action = std::function<void(controller::AppController&)>;

    // gui runs sink's calls on the GUI thread; both outlive this thread.
    // "Preferences Changed" comes over bus.
    ControllerThread(platform::RunLoop& gui, GuiSink& sink, QDBusConnection bus);
    ~ControllerThread() override;

    // Any thread: runs action on the controller's thread. Work posted before
    // the controller exists waits for the end of its start-up; work posted
    // after the thread has ended is dropped.
    void post(Action action);

    // Any thread: runs action on the controller's thread with its run loop
    // and notification centre (for senders and posts made elsewhere).
    using ServiceAction = std::function<void(platform::RunLoop&, platform::NotificationCenter&)>;
    void postToServices(ServiceAction action);

    // Any thread: applicationWillTerminate() once, then the thread ends. A
    // page fetch in progress is cancelled at once rather than waited for,
    // and none starts after; mail conversations under way are cut short.
    void requestTerminate();

protected:
    void run() override;

private:
    void open(platform::RunLoop& loop, platform::NotificationCenter& center,
              controller::AppController& controller);
    void close();

    platform::RunLoop& gui_;
    GuiSink& sink_;
    QDBusConnection bus_;
    std::mutex mutex_;
    platform::RunLoop* loop_ = nullptr;  // while the controller exists
    controller::AppController* controller_ = nullptr;
    platform::NotificationCenter* center_ = nullptr;  // controller thread only
    std::vector<Action> early_;
    bool ended_ = false;
    bool terminated_ = false;  // controller thread only
    // Shared with the controller's services; cancelled by requestTerminate().
    const std::shared_ptr<netinfo::FetchCancel> fetchCancel_ =
        std::make_shared<netinfo::FetchCancel>();
};

}  // namespace app
