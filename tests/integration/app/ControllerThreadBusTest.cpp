// "Preferences Changed" must reach the controller once per post, on the
// controller's own thread, wherever it was posted: the notification centre
// made on a QThread, as ControllerThread makes it, against a private session
// bus, with posts from the centre itself, another connection and another
// process (the defaults tool).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/qt/DBusNotificationCenter.h"
#include "settings/SettingsKeys.h"
#include "support/ChildProcess.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;
const std::string kName(settings::keys::kPreferencesChangedName);
const std::string kObject(settings::keys::kPreferencesChangedObject);

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

// A QThread that makes its centre on itself, posts once, and counts what its
// observers see and where they run.
class ObservingThread : public QThread {
public:
    explicit ObservingThread(QString address) : address_(std::move(address)) {}

    std::atomic<bool> listening{false};
    std::atomic<int> received{0};
    std::atomic<int> otherObject{0};
    std::atomic<bool> elsewhere{false};

protected:
    void run() override {
        {
            QDBusConnection bus =
                QDBusConnection::connectToBus(address_, QStringLiteral("observer"));
            platform::DBusNotificationCenter center(bus);
            const QThread* self = QThread::currentThread();
            center.addObserver(kName, kObject,
                               [this, self](const std::string&, const std::string&) {
                                   elsewhere = elsewhere || QThread::currentThread() != self;
                                   ++received;
                               });
            center.addObserver(kName, "com.example.other",
                               [this](const std::string&, const std::string&) { ++otherObject; });
            // Its own post arrives at once, and must not come back from the bus.
            center.post(kName, kObject);
            // The match rule is in place once the bus has answered a call after it.
            listening = center.flush() && received == 1;
            exec();
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("observer"));
    }

private:
    QString address_;
};

TEST(ControllerThreadBus, EachPostArrivesOnceOnTheCentresThread) {
    int argc = 1;
    char name[] = "controller_thread_bus_test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    ChildProcess daemon({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
    const auto address = daemon.readLine(10s);
    ASSERT_TRUE(address && !address->empty());
    ObservingThread thread(QString::fromStdString(*address));
    thread.start();
    ASSERT_TRUE(WaitUntil([&] { return thread.listening.load(); }, 10s));

    {
        QDBusConnection poster = QDBusConnection::connectToBus(QString::fromStdString(*address),
                                                               QStringLiteral("poster"));
        platform::DBusNotificationCenter postingCentre(poster);
        postingCentre.post(kName, kObject);
        ASSERT_TRUE(postingCentre.flush());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("poster"));
    ChildProcess tool({ORBALEN_DEFAULTS_TOOL, "notify"}, {"DBUS_SESSION_BUS_ADDRESS=" + *address});
    EXPECT_EQ(tool.wait(20s), 0);

    EXPECT_TRUE(WaitUntil([&] { return thread.received == 3; }, 10s));
    // Listen a while longer, so that a post delivered twice would show.
    WaitUntil([] { return false; }, 300ms);
    thread.quit();
    EXPECT_TRUE(thread.wait(QDeadlineTimer(10000)));
    EXPECT_EQ(thread.received, 3);
    EXPECT_EQ(thread.otherObject, 0);
    EXPECT_FALSE(thread.elsewhere);
}

TEST(ControllerThreadBus, TheToolReportsAMissingBus) {
    ChildProcess tool({ORBALEN_DEFAULTS_TOOL, "notify"},
                      {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"});
    EXPECT_EQ(tool.wait(20s), 1);
}

}  // namespace
