// orbalenstatus: shows the machine's IPv4 address in the panel's status area
// and watches it. The controller runs on a thread of its own (see
// ControllerThread); this thread serves the desktop.
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/AppInfo.h"
#include "app/Application.h"
#include "app/BusProbe.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/FrontEndSwitch.h"
#include "app/HeadlessFrontEnd.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/StatusService.h"
#include "platform/qt/PrettyHostname.h"
#include "platform/qt/QtAlert.h"

namespace {

using namespace std::chrono_literals;

// How long the session bus may take to answer, when first asked and for the
// name claim, before we do without it.
constexpr auto kBusTimeout = 2s;
// How long an instance taking over waits for the one that steps aside.
// It lets go once its controller has ended, which a look-up stuck in the
// resolver (likely at login, while the network comes up) can hold up.
constexpr auto kHandOverPatience = 30s;

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
    return nullptr;  // the front end follows what the desktop offers
}

// Asks the running instance to end and let this one run: true when it agreed.
bool AskToHandOver(const QDBusConnection& bus) {
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(
                     QString::fromLatin1(app::kBusName), QString::fromLatin1(app::kStatusPath),
                     QString::fromLatin1(app::kStatusInterface), QStringLiteral("HandOver")),
                 QDBus::Block, static_cast<int>(std::chrono::milliseconds(kBusTimeout).count()));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

// False when another instance already runs (it says so on stderr). One with
// a panel item asks a running instance without one to step aside.
bool ClaimTheOnlyInstance(app::SingleInstance& instance, const QDBusConnection& bus,
                          const app::CommandLine& line, bool withPanel) {
    // Waiting its turn, the lock is ours already; the bus name may still be
    // on its way back from the instance that just ended.
    auto result = line.standby ? instance.claimWithin(bus, kBusTimeout, kHandOverPatience)
                               : instance.claim(bus, kBusTimeout);
    if (result == app::SingleInstance::Result::AlreadyRunning && withPanel && bus.isConnected()) {
        result = instance.takeOver(bus, kBusTimeout, kHandOverPatience, [&bus] {
            const bool agreed = AskToHandOver(bus);
            if (agreed) {
                std::fputs("OrbalenStatus: the running instance without a panel item hands over.\n",
                           stderr);
            }
            return agreed;
        });
    }
    switch (result) {
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
// handedOver: whether it ended to let an instance with a panel item run.
int Run(const char* headlessReason, const QDBusConnection& bus, int quitSignalFd,
        platform::QtAlert* alert, bool& handedOver) {
    app::Application application(
        [headlessReason, &bus](app::UserActions actions) -> std::unique_ptr<app::FrontEnd> {
            if (headlessReason) {
                return std::make_unique<app::HeadlessFrontEnd>(headlessReason);
            }
            return std::make_unique<app::FrontEndSwitch>(std::move(actions), bus);
        },
        bus, quitSignalFd);
    if (headlessReason) {
        application.acceptHandOver();
    }
    application.start();
    const int result = QCoreApplication::exec();
    if (alert) {
        alert->close();  // a controller waiting on an open alert goes on
    }
    application.finish();
    handedOver = application.handedOver();
    return result;
}

// After a hand-over: the same process (so a service manager still sees its
// service run) starts again as an instance waiting its turn, and runs once
// the instance that took over has ended.
int WaitForTurnAgain(std::vector<std::string> args) {
    if (args.empty()) {
        args.emplace_back("orbalenstatus");
    }
    if (std::find(args.begin() + 1, args.end(), "--standby") == args.end()) {
        args.emplace_back("--standby");
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    std::fprintf(stderr, "OrbalenStatus: cannot start again after handing over: %s\n",
                 std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const app::CommandLine line = app::ParseCommandLine(argc, argv);
    if (const auto answer = Answer(line)) {
        return *answer;
    }
    // Before Qt takes its options out.
    const std::vector<std::string> args(argv, argv + argc);
    app::SingleInstance instance;
    if (line.standby) {
        // Signals end the program at once while it waits: nothing is open.
        instance.waitForTurn([] {
            std::fputs("OrbalenStatus: another instance runs; waiting for it to end.\n", stderr);
        });
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
    const char* headlessReason = HeadlessReason(line, display);
    if (!ClaimTheOnlyInstance(instance, bus, line, headlessReason == nullptr)) {
        return 0;
    }

    platform::InstallPrettyHostnameQuery();
    std::unique_ptr<platform::QtAlert> alert;
    if (display && QGuiApplication::platformName() != QLatin1String("offscreen")) {
        alert = std::make_unique<platform::QtAlert>();
        platform::SetCurrentAlert(alert.get());
    }

    bool handedOver = false;
    const int result = Run(headlessReason, bus, quitSignalFd, alert.get(), handedOver);
    platform::SetCurrentAlert(nullptr);
    // A quit signal that came after the hand-over began ends the program.
    if (handedOver && !app::DrainQuitSignalPipe(quitSignalFd)) {
        instance.release();
        return WaitForTurnAgain(args);
    }
    return result;
}
