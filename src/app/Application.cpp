#include "app/Application.h"

#include <QApplication>

#include "app/AppInfo.h"
#include "app/QuitSignals.h"
#include "log/EventLog.h"
#include "mail/SSMTP.h"
#include "prefpane/DefaultServices.h"
#include "prefpane/PreferencesWindow.h"

namespace app {

Application::Application(const FrontEndFactory& makeFrontEnd, QDBusConnection bus, int quitSignalFd)
    : service_(bus, busRequests()), notifier_(bus), controller_(gui_, *this, bus) {
    UserActions actions;
    actions.menuWillOpen = [this] { menuWillOpen(); };
    actions.itemChosen = [this](const controller::MenuItem& item) { perform(item); };
    frontEnd_ = makeFrontEnd(std::move(actions));
    if (quitSignalFd >= 0) {
        quitSignals_ = std::make_unique<QSocketNotifier>(quitSignalFd, QSocketNotifier::Read);
        connect(quitSignals_.get(), &QSocketNotifier::activated, this, [this, quitSignalFd] {
            DrainQuitSignalPipe(quitSignalFd);
            handedOver_ = false;  // asked to end: end, even in the middle of a hand-over
            quit();
        });
    }
}

// The panel's menu and the bus both ask the controller the same way.
void Application::menuWillOpen() {
    controller_.post([](controller::AppController& c) { c.menuNeedsUpdate(); });
}

void Application::perform(const controller::MenuItem& item) {
    controller_.post([item](controller::AppController& c) { c.performAction(item); });
}

StatusService::Requests Application::busRequests() {
    StatusService::Requests requests;
    requests.refresh = [this] { controller_.post([](auto& c) { c.refresh(true); }); };
    requests.checkExternal = [this] {
        controller_.post([](auto& c) { c.checkExternalIPAddressNow(); });
    };
    requests.choose = [this](controller::MenuAction action) {
        controller::MenuItem item;
        item.action = action;
        perform(item);
    };
    requests.menuWillOpen = [this] { menuWillOpen(); };
    requests.copy = [this](const std::string& text) { putOnClipboard(text); };
    requests.handOver = [this] { return handOver(); };
    return requests;
}

Application::~Application() {
    finish();
}

void Application::start() {
    controller_.start();
}

void Application::finish() {
    controller_.requestTerminate();
    controller_.wait();
}

void Application::showStatus(const StatusSnapshot& status) {
    frontEnd_->showStatus(status);
    service_.setStatus(status);
}

void Application::showState(const controller::AddressState& state) {
    state_ = state;
    service_.setState(state);
}

void Application::notify(const std::string& summary, const std::string& body) {
    notifier_.notify(QString::fromStdString(summary), QString::fromStdString(body));
}

void Application::putOnClipboard(const std::string& text) {
    dialogs_.putOnClipboard(text);
}

void Application::bringToFront() {
    dialogs_.bringToFront();
}

void Application::showAboutPanel() {
    dialogs_.showAboutPanel();
}

void Application::openLog(const std::filesystem::path& logFile) {
    dialogs_.openLog(logFile);
}

void Application::showPreferences() {
    // Without widgets (headless) there is no window to show.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return;
    }
    if (!preferences_) {
        preferences_ = makePreferencesWindow();
    }
    preferences_->present();
}

// The window reads the last published state and hands posts and senders to
// the controller's thread, so it never waits for the controller.
std::unique_ptr<prefpane::PreferencesWindow> Application::makePreferencesWindow() {
    auto services = prefpane::DefaultPrefPaneServices(kName, kVersion);
    services.publishedState = [this] { return state_; };
    services.postNotification = [this](std::string_view name, std::string_view object) {
        controller_.postToServices([name = std::string(name), object = std::string(object)](
                                       platform::RunLoop&, platform::NotificationCenter& center) {
            center.post(name, object);
        });
    };
    // The sender reports on the controller's loop; each report hops back to
    // the GUI thread, queued on this object so none arrives after it is gone
    // (the window lives as long as it does).
    services.startMail = [this](const controller::MailAlert& alert,
                                prefpane::PrefPaneServices::MailProgressHandler progress) {
        controller_.postToServices([this, alert, progress](platform::RunLoop& loop,
                                                           platform::NotificationCenter&) {
            auto sender = mail::SSMTP::create(loop);
            sender->setKind(alert.kind);
            sender->setProgressHandler([this, progress](const mail::MailProgress& step) {
                QMetaObject::invokeMethod(
                    this,
                    [this, progress, step] {
                        if (preferences_ && progress) {
                            progress(step);
                        }
                    },
                    Qt::QueuedConnection);
            });
            sender->sendMessage(alert.newAddress, alert.oldAddress, alert.recipient, alert.message);
        });
    };
    return std::make_unique<prefpane::PreferencesWindow>(std::move(services));
}

bool Application::handOver() {
    if (!acceptsHandOver_ || quitting_) {
        return false;
    }
    handedOver_ = true;
    // Posted ahead of the end, so the line comes before "stop".
    controller_.post([](controller::AppController&) {
        eventlog::LogEntry("Handing over to an instance with a panel item");
    });
    quit();
    return true;
}

void Application::quit() {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    frontEnd_->withdraw();
    dialogs_.closeAll();
    // The GUI keeps serving while the controller closes its log; the event
    // loop ends once the controller's thread has.
    connect(&controller_, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit,
            Qt::QueuedConnection);
    controller_.requestTerminate();
    if (controller_.isFinished()) {
        QCoreApplication::quit();
    }
}

}  // namespace app
