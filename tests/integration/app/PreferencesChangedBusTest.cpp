// "Preferences Changed" reaches the controller's notification centre once
// per post over a private session bus: the centre's own post at once and not
// again from the bus (the preferences window posts through it), the defaults
// tool's as it arrives. Which thread runs the observers is Qt's to settle:
// the thread that made the centre.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QThread>
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "platform/qt/DBusNotificationCenter.h"
#include "settings/SettingsKeys.h"
#include "support/ChildProcess.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;

TEST(PreferencesChangedBus, EachPostArrivesOnce) {
    int argc = 1;
    char name[] = "preferences_changed_bus_test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    ChildProcess daemon({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
    const auto address = daemon.readLine(10s);
    ASSERT_TRUE(address && !address->empty());
    const std::string kName(settings::keys::kPreferencesChangedName);
    const std::string kObject(settings::keys::kPreferencesChangedObject);

    platform::DBusNotificationCenter center(
        QDBusConnection::connectToBus(QString::fromStdString(*address), QStringLiteral("bus")));
    int received = 0;
    center.addObserver(kName, kObject, [&](const std::string&, const std::string&) { ++received; });
    center.post(kName, kObject);
    EXPECT_EQ(received, 1);
    // The match rule is in place once the bus has answered a call after it.
    ASSERT_TRUE(center.flush());
    ChildProcess tool({ORBALEN_DEFAULTS_TOOL, "notify"}, {"DBUS_SESSION_BUS_ADDRESS=" + *address});
    EXPECT_EQ(tool.wait(20s), 0);
    // Wait for the tool's post, then listen a while longer, so that a post
    // delivered twice would show.
    const QDeadlineTimer deadline(10s);
    while (received < 2 && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    QThread::msleep(300);
    QCoreApplication::processEvents();
    EXPECT_EQ(received, 2);
}

// A notify that reaches no bus fails; it never reports success.
TEST(PreferencesChangedBus, TheToolReportsAMissingBus) {
    ChildProcess tool({ORBALEN_DEFAULTS_TOOL, "notify"},
                      {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"});
    EXPECT_EQ(tool.wait(20s), 1);
}

}  // namespace
