// "Preferences Changed" from another process must reach the controller on
// the controller's own thread: the notification centre made on a QThread,
// as ControllerThread makes it, against a private session bus.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QThread>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/qt/DBusNotificationCenter.h"
#include "support/ChildProcess.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;

// A QThread that makes its centre on itself and records where observers run.
class ObservingThread : public QThread {
public:
    explicit ObservingThread(QString address) : address_(std::move(address)) {}

    std::atomic<bool> listening{false};
    std::atomic<bool> observed{false};
    std::atomic<bool> onThisThread{false};

protected:
    void run() override {
        QDBusConnection bus = QDBusConnection::connectToBus(address_, QStringLiteral("observer"));
        platform::DBusNotificationCenter center(bus);
        const QThread* self = QThread::currentThread();
        center.addObserver("Preferences Changed", "com.kestrune.preference.OrbalenStatus",
                           [this, self](const std::string&, const std::string&) {
                               onThisThread = QThread::currentThread() == self;
                               observed = true;
                               exit(0);
                           });
        // The match rule is in place once the bus has answered a call after it.
        listening = center.flush();
        exec();
    }

private:
    QString address_;
};

TEST(ControllerThreadBus, NotificationsFromOtherProcessesArriveOnTheCentresThread) {
    int argc = 1;
    char name[] = "controller_thread_bus_test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    ChildProcess daemon({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
    const auto address = daemon.readLine(10s);
    ASSERT_TRUE(address && !address->empty());

    ObservingThread thread(QString::fromStdString(*address));
    thread.start();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!thread.listening && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(thread.listening);

    QDBusConnection poster =
        QDBusConnection::connectToBus(QString::fromStdString(*address), QStringLiteral("poster"));
    platform::DBusNotificationCenter postingCentre(poster);
    postingCentre.post("Preferences Changed", "com.kestrune.preference.OrbalenStatus");
    ASSERT_TRUE(postingCentre.flush());

    EXPECT_TRUE(thread.wait(QDeadlineTimer(10000)));
    EXPECT_TRUE(thread.observed);
    EXPECT_TRUE(thread.onThisThread);
    QDBusConnection::disconnectFromBus(QStringLiteral("poster"));
    QDBusConnection::disconnectFromBus(QStringLiteral("observer"));
}

}  // namespace
