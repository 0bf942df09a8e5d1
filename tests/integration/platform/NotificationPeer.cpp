// Runs inside a private session bus: observes "Preferences Changed", posts it
// once itself, has another process (the defaults tool) post it once, and
// prints how often the observer ran. Each post must arrive exactly once.
#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <iostream>
#include <thread>

#include "platform/qt/DBusNotificationCenter.h"
#include "platform/qt/QtRunLoop.h"
#include "settings/SettingsKeys.h"

using namespace std::chrono_literals;
namespace keys = settings::keys;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    platform::DBusNotificationCenter center;
    if (argc != 2 || !center.connectedToBus()) {
        std::cout << "usage: notification-peer DEFAULTS_TOOL, on a session bus\n";
        return 2;
    }
    platform::QtRunLoop loop;
    int received = 0;
    int otherObject = 0;
    const std::string name(keys::kPreferencesChangedName);
    center.addObserver(name, std::string(keys::kPreferencesChangedObject),
                       [&](const std::string&, const std::string&) { ++received; });
    center.addObserver(name, "com.example.other",
                       [&](const std::string&, const std::string&) { ++otherObject; });

    center.post(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);
    const bool local = received == 1;

    // The other process posts once our observer is in place; its exit code
    // tells whether the bus took the signal.
    int toolExit = -1;
    std::thread poster([&] {
        const int code = QProcess::execute(QString::fromLocal8Bit(argv[1]), {"notify"});
        loop.post([&, code] { toolExit = code; });
    });

    // Keep listening a while after the second delivery, so a duplicate would show.
    platform::RunLoop::TimerId settle = 0;
    const auto check = loop.addTimer(10ms, 10ms, [&] {
        if (received >= 2 && toolExit >= 0 && settle == 0) {
            settle = loop.addTimer(300ms, 0ms, [&] { app.quit(); });
        }
    });
    loop.addTimer(10s, 0ms, [&] { app.quit(); });
    app.exec();
    loop.invalidateTimer(check);
    poster.join();

    std::cout << "local " << (local ? "once" : "wrong") << "\n"
              << "tool " << toolExit << "\n"
              << "received " << received << "\n"
              << "other " << otherObject << "\n";
    return 0;
}
