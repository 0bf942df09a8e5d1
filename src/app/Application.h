#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "app/ControllerThread.h"
#include "app/DesktopDialogs.h"
#include "app/DesktopNotifier.h"
#include "app/FrontEnd.h"
#include "app/GuiSink.h"
#include "app/StatusService.h"
#include "platform/qt/QtRunLoop.h"

namespace prefpane {
class PreferencesWindow;
}

namespace app {

// The GUI thread's side of the program: receives the controller's snapshots
// and requests, shows them through the front end and the bus service, opens
// the dialogs the menu asks for (DesktopDialogs, the preferences window), and
// hands the user's actions to the controller's thread. Every way of ending
// (the "Quit" item, a signal, the session ending) goes through quit().
class Application : public QObject, public GuiSink {
public:
    // frontEnd is made with the actions this object hands on.
    using FrontEndFactory = std::function<std::unique_ptr<FrontEnd>(UserActions)>;

    Application(const FrontEndFactory& makeFrontEnd, QDBusConnection bus, int quitSignalFd);
    ~Application() override;

    // From now on a bus caller may ask this instance to end and let it take
    // over (an instance without a panel item, for one with it).
    void acceptHandOver() { acceptsHandOver_ = true; }
    // After the end: whether it ended for a hand-over.
    bool handedOver() const { return handedOver_; }

    void start();
    // After the Qt event loop has ended: lets the controller finish.
    void finish();

    void showStatus(const StatusSnapshot& status) override;
    void showState(const controller::AddressState& state) override;
    void notify(const std::string& summary, const std::string& body) override;
    void putOnClipboard(const std::string& text) override;
    void bringToFront() override;
    void showAboutPanel() override;
    void showPreferences() override;
    void openLog(const std::filesystem::path& logFile) override;
    void quit() override;

private:
    // What the bus service's methods do; they reach controller_ only once
    // a call arrives, after construction.
    StatusService::Requests busRequests();
    void menuWillOpen();
    void perform(const controller::MenuItem& item);
    std::unique_ptr<prefpane::PreferencesWindow> makePreferencesWindow();
    bool handOver();

    std::unique_ptr<FrontEnd> frontEnd_;
    DesktopDialogs dialogs_;
    controller::AddressState state_;  // as last published
    std::unique_ptr<prefpane::PreferencesWindow> preferences_;
    StatusService service_;
    DesktopNotifier notifier_;
    std::unique_ptr<QSocketNotifier> quitSignals_;
    bool quitting_ = false;
    bool acceptsHandOver_ = false;
    bool handedOver_ = false;
    // Declared last so they go first: the controller thread ends before the
    // objects its posted work reaches, and that work is dropped with the loop.
    platform::QtRunLoop gui_;
    ControllerThread controller_;
};

}  // namespace app
