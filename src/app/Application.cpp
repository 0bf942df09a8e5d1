#include "app/Application.h"

#include <QCoreApplication>

#include "app/QuitSignals.h"

namespace app {

Application::Application(const FrontEndFactory& makeFrontEnd, QDBusConnection bus, int quitSignalFd)
    : service_(bus, {[this] { controller_.post([](auto& c) { c.refresh(true); }); },
                     [this] { controller_.post([](auto& c) { c.checkExternalIPAddressNow(); }); }}),
      notifier_(bus),
      controller_(gui_, *this, bus) {
    UserActions actions;
    actions.menuWillOpen = [this] {
        controller_.post([](controller::AppController& c) { c.menuNeedsUpdate(); });
    };
    actions.itemChosen = [this](const controller::MenuItem& item) {
        controller_.post([item](controller::AppController& c) { c.performAction(item); });
    };
    frontEnd_ = makeFrontEnd(std::move(actions));
    if (quitSignalFd >= 0) {
        quitSignals_ = std::make_unique<QSocketNotifier>(quitSignalFd, QSocketNotifier::Read);
        connect(quitSignals_.get(), &QSocketNotifier::activated, this, [this, quitSignalFd] {
            DrainQuitSignalPipe(quitSignalFd);
            quit();
        });
    }
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
    service_.setState(state);
}

void Application::notify(const std::string& summary, const std::string& body) {
    notifier_.notify(QString::fromStdString(summary), QString::fromStdString(body));
}

void Application::putOnClipboard(const std::string& text) {
    frontEnd_->putOnClipboard(text);
}

void Application::bringToFront() {
    frontEnd_->bringToFront();
}

void Application::showAboutPanel() {
    frontEnd_->showAboutPanel();
}

void Application::showPreferences() {
    frontEnd_->showPreferences();
}

void Application::quit() {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    frontEnd_->withdraw();
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
