#include "app/ControllerThread.h"

#include "app/GuiBridge.h"
#include "log/ApplicationSupport.h"
#include "mail/SSMTP.h"
#include "platform/qt/DBusNotificationCenter.h"
#include "platform/qt/QtRunLoop.h"

namespace app {

namespace {

// The private log file, or nothing when its folder cannot be made.
std::filesystem::path LogFile() {
    std::filesystem::path folder;
    if (!eventlog::GetOurApplicationSupportFolder(folder)) {
        return {};
    }
    return folder / eventlog::kLogFileName;
}

}  // namespace

ControllerThread::ControllerThread(platform::RunLoop& gui, GuiSink& sink, QDBusConnection bus)
    : gui_(gui), sink_(sink), bus_(std::move(bus)) {
    setObjectName(QStringLiteral("controller"));
}

ControllerThread::~ControllerThread() {
    requestTerminate();
    wait();
}

void ControllerThread::post(Action action) {
    std::lock_guard lock(mutex_);
    if (loop_) {
        loop_->post(
            [controller = controller_, action = std::move(action)] { action(*controller); });
    } else if (!ended_) {
        early_.push_back(std::move(action));
    }
}

void ControllerThread::postToServices(ServiceAction action) {
    post([this, action = std::move(action)](controller::AppController&) {
        action(*loop_, *center_);
    });
}

void ControllerThread::requestTerminate() {
    // Set here, not in the posted work: that only runs once the controller's
    // current handler, perhaps a fetch of up to 40 s, has returned.
    fetchCancel_->cancel();
    post([this](controller::AppController& controller) {
        if (!terminated_) {
            terminated_ = true;
            controller.applicationWillTerminate();
        }
        exit(0);
    });
}

void ControllerThread::run() {
    // Everything the controller touches is made here, so Qt delivers its
    // timers, socket notices and bus signals on this thread.
    platform::QtRunLoop loop;
    platform::DBusNotificationCenter center(bus_);
    GuiBridge bridge(gui_, sink_);
    controller::AppControllerServices services;
    services.fetchCancel = fetchCancel_;
    services.openConsole = [&bridge] { bridge.openLog(LogFile()); };
    controller::AppController controller(loop, center, bridge, bridge, services);
    open(loop, center, controller);
    controller.init();
    exec();
    // The mail workers report to this loop: they end before it goes, and
    // the conversations still under way are cut short rather than awaited.
    mail::EndConversations(loop);
    close();
}

void ControllerThread::open(platform::RunLoop& loop, platform::NotificationCenter& center,
                            controller::AppController& controller) {
    std::lock_guard lock(mutex_);
    loop_ = &loop;
    center_ = &center;
    controller_ = &controller;
    for (Action& action : early_) {
        loop.post([&controller, action = std::move(action)] { action(controller); });
    }
    early_.clear();
}

void ControllerThread::close() {
    std::lock_guard lock(mutex_);
    loop_ = nullptr;
    controller_ = nullptr;
    ended_ = true;
    early_.clear();
}

}  // namespace app
