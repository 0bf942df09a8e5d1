// orbalenstatus: shows the machine's IPv4 address in the panel's status area
// and watches it. The controller runs on a thread of its own (see
// ControllerThread); this thread serves the desktop.
#include <QApplication>
#include <QDBusConnection>
#include <QSystemTrayIcon>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/AppInfo.h"
#include "app/Application.h"
#include "app/BusProbe.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/HeadlessFrontEnd.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/TrayFrontEnd.h"
#include "platform/qt/PrettyHostname.h"
#include "platform/qt/QtAlert.h"

namespace {

using namespace std::chrono_literals;

// How long the session bus may take to answer, when first asked and for the
// name claim, before we do without it.
constexpr auto kBusTimeout = 2s;

// Before Qt starts (its tray and theme code use the bus too): a session bus
// that does not answer is switched off for this process, so every use of it
// fails at once and everything works within the process only.
void AvoidASilentSessionBus() {
    if (!app::SessionBusAnswers(kBusTimeout)) {
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        std::fputs("OrbalenStatus: the session bus does not answer; running without it.\n", stderr);
    }
}

// Some answer the command line asks for without starting; nothing otherwise.
std::optional<int> Answer(const app::CommandLine& line) {
    if (!line.unknownOption.empty()) {
        std::fprintf(stderr, "orbalenstatus: unknown option %s\n%s", line.unknownOption.c_str(),
                     app::UsageText().c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(app::UsageText().c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("%s %s\n", app::kName, app::kVersion);
        return 0;
    }
    return std::nullopt;
}

// With a display, a platform that fails (an X server that is gone) falls back
// to running headless instead of aborting.
std::unique_ptr<QCoreApplication> MakeQtApplication(bool display, int& argc, char** argv) {
    if (!display) {
        return std::make_unique<QCoreApplication>(argc, argv);
    }
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM",
               std::getenv("WAYLAND_DISPLAY") ? "wayland;xcb;offscreen" : "xcb;offscreen", 1);
    }
    auto application = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return application;
}

// Why there is no panel item, or nothing when there is one.
const char* HeadlessReason(const app::CommandLine& line, bool display) {
    if (line.headless) {
        return "--headless";
    }
    if (!display || QGuiApplication::platformName() == QLatin1String("offscreen")) {
        return "no display";
    }
    return QSystemTrayIcon::isSystemTrayAvailable() ? nullptr : "no system tray";
}

// False when another instance already runs (it says so on stderr).
bool ClaimTheOnlyInstance(app::SingleInstance& instance, const QDBusConnection& bus) {
    switch (instance.claim(bus, kBusTimeout)) {
        case app::SingleInstance::Result::AlreadyRunning:
            std::fputs("OrbalenStatus is already running for this user; not starting another.\n",
                       stderr);
            return false;
        case app::SingleInstance::Result::Unclaimed:
            std::fputs("OrbalenStatus: could not make sure no other instance runs.\n", stderr);
            return true;
        case app::SingleInstance::Result::Claimed:
            return true;
    }
    return true;
}

// Runs the controller's thread and the GUI's event loop until the end.
int Run(const char* headlessReason, const QDBusConnection& bus, int quitSignalFd,
        platform::QtAlert* alert) {
    app::Application application(
        [headlessReason](app::UserActions actions) -> std::unique_ptr<app::FrontEnd> {
            if (headlessReason) {
                return std::make_unique<app::HeadlessFrontEnd>(headlessReason);
            }
            return std::make_unique<app::TrayFrontEnd>(std::move(actions));
        },
        bus, quitSignalFd);
    application.start();
    const int result = QCoreApplication::exec();
    if (alert) {
        alert->close();  // a controller waiting on an open alert goes on
    }
    application.finish();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const app::CommandLine line = app::ParseCommandLine(argc, argv);
    if (const auto answer = Answer(line)) {
        return *answer;
    }
    // Before anything else, so an early signal still ends the program with
    // its log closed properly.
    const int quitSignalFd = app::InstallQuitSignalPipe();

    AvoidASilentSessionBus();
    const bool display = app::WantsDisplay(line);
    const auto qtApplication = MakeQtApplication(display, argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(app::kName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(app::kVersion));

    QDBusConnection bus = QDBusConnection::sessionBus();
    app::SingleInstance instance;
    if (!ClaimTheOnlyInstance(instance, bus)) {
        return 0;
    }

    platform::InstallPrettyHostnameQuery();
    const char* headlessReason = HeadlessReason(line, display);
    std::unique_ptr<platform::QtAlert> alert;
    if (display && QGuiApplication::platformName() != QLatin1String("offscreen")) {
        alert = std::make_unique<platform::QtAlert>();
        platform::SetCurrentAlert(alert.get());
    }

    const int result = Run(headlessReason, bus, quitSignalFd, alert.get());
    platform::SetCurrentAlert(nullptr);
    return result;
}
