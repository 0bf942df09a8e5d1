// Our panel item and its menu as panel hosts (Ayatana, XFCE, Qt, KDE) see
// them on a private session bus, with a test StatusNotifierWatcher.
#include <unistd.h>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/FrontEndSwitch.h"
#include "app/SingleInstance.h"
#include "app/panel/DBusTypes.h"
#include "support/ChildProcess.h"
#include "support/MenuItems.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono_literals;
using app::panel::DBusMenuLayoutItem;
using Kind = app::FrontEndSwitch::Kind;
using controller::MenuAction;
using controller::MenuItem;
using testing_support::Item;
using testing_support::ScopedEnv;

const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

// Stands in for the panel: records the items that register and their signals.
class TestWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    explicit TestWatcher(QDBusConnection bus) : bus_(std::move(bus)) {
        bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                            QDBusConnection::ExportScriptableSlots);
        start();
    }
    void start() { bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")); }
    void stop() { bus_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher")); }

    QStringList registered;
    std::map<QString, QVariantList> sent;  // each signal's first arguments, by name

public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service) {
        registered.append(service);
    }
    void onSignal(const QDBusMessage& message) {
        sent[message.member()].append(message.arguments().value(0));
    }

private:
    QDBusConnection bus_;
};

// A status like the controller's, its menu's address marked with a generation.
app::StatusSnapshot Status(const std::string& title, int generation = 0,
                           std::optional<std::string> image = std::nullopt) {
    const std::string mark = generation == 0 ? "" : " #" + std::to_string(generation);
    MenuItem interfaces = Item("Interfaces");
    // Names from outside may carry control and direction characters.
    interfaces.children = {
        Item("wlan_0\x1b\xe2\x80\xae\r\n: 10.0.0.5", MenuAction::CopySelectedAddress)};
    return {
        title, std::move(image), false,
        std::make_shared<const controller::Menu>(controller::Menu{
            Item("Internal IP Address:"), Item("10.0.0.5" + mark, MenuAction::CopySelectedAddress),
            testing_support::Separator(), Item("Copy IP Address", MenuAction::CopyAddress),
            interfaces})};
}

template <typename Entry>
QString LabelOf(const Entry& entry) {
    return entry.properties.value(QStringLiteral("label")).toString();
}

class PanelBus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "panel_bus_test";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
        app::panel::RegisterDBusTypes();
    }

    void SetUp() override {
        daemon_ = std::make_unique<testing_support::ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        const auto address = daemon_->readLine(10s);
        if (!address || address->empty()) {
            GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        }
        for (const char* name : {"item", "host"}) {
            buses_.push_back(QDBusConnection::connectToBus(QString::fromStdString(*address),
                                                           QString::fromLatin1(name)));
            ASSERT_TRUE(buses_.back().isConnected());
        }
        watcher_ = std::make_unique<TestWatcher>(host());
        actions_.menuWillOpen = [this] {
            ++opened_;
            // The controller answers later, on its own thread.
            QTimer::singleShot(10, [this] { frontEnd_->showStatus(Status("10.0.0.5", opened_)); });
        };
        actions_.itemChosen = [this](const MenuItem& item) { chosen_.push_back(item); };
    }

    void TearDown() override {
        frontEnd_.reset();
        watcher_.reset();
        for (const QDBusConnection& bus : std::exchange(buses_, {})) {
            QDBusConnection::disconnectFromBus(bus.name());
        }
    }

    QDBusConnection& item() { return buses_[0]; }
    QDBusConnection& host() { return buses_[1]; }

    void startItem() {
        frontEnd_ = std::make_unique<app::FrontEndSwitch>(actions_, item());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher_->registered.isEmpty(); }));
        service_ = watcher_->registered.constLast();
        for (const QString& interface : {kItemInterface, kMenuInterface}) {
            ASSERT_TRUE(host().connect(service_, QString(), interface, QString(), watcher_.get(),
                                       SLOT(onSignal(QDBusMessage))));
        }
    }

    // A host's call; its wait keeps going the event loop that serves the item.
    QDBusMessage call(const QString& method, const QVariantList& arguments,
                      const QString& path = QStringLiteral("/MenuBar"),
                      const QString& interface = kMenuInterface) {
        QDBusMessage message = QDBusMessage::createMethodCall(service_, path, interface, method);
        message.setArguments(arguments);
        return host().call(message, QDBus::BlockWithGui, 5000);
    }

    QVariant itemProperty(const QString& name) {
        const QDBusMessage reply =
            call(QStringLiteral("Get"), {kItemInterface, name},
                 QStringLiteral("/StatusNotifierItem"), "org.freedesktop.DBus.Properties");
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    std::unique_ptr<testing_support::ChildProcess> daemon_;
    std::vector<QDBusConnection> buses_;
    std::unique_ptr<TestWatcher> watcher_;
    app::UserActions actions_;
    std::unique_ptr<app::FrontEndSwitch> frontEnd_;
    QString service_;
    int opened_ = 0;
    std::vector<MenuItem> chosen_;
};

TEST_F(PanelBus, TheItemShowsEachStatusAndFollowsTheWatcherComingAndGoing) {
    startItem();

    // The label, tooltip and icon follow each status; each change is signalled.
    const struct {
        app::StatusSnapshot status;
        QString label, tip, icon;
    } steps[] = {
        {Status("10.0.0.5:studio\x1b\n"), "10.0.0.5:studio", "10.0.0.5:studio",
         "orbalenstatus-panel"},
        // Icon-only: the icon stands alone; the tooltip still names the program.
        {Status("", 0, "OrbalenStatusSmall.tif"), "", "OrbalenStatus", "orbalenstatus-panel"},
        {Status("192.168.1.20", 0, "OrbalenStatusChange.tif"), "192.168.1.20", "192.168.1.20",
         "orbalenstatus-change"},
    };
    for (const auto& step : steps) {
        frontEnd_->showStatus(step.status);
        app::panel::DBusToolTip tip;
        itemProperty(QStringLiteral("ToolTip")).value<QDBusArgument>() >> tip;
        EXPECT_EQ(itemProperty(QStringLiteral("XAyatanaLabel")).toString(), step.label);
        EXPECT_EQ(tip.title, step.tip);
        EXPECT_EQ(itemProperty(QStringLiteral("IconName")).toString(), step.icon);
    }
    const QVariantList& labels = watcher_->sent[QStringLiteral("XAyatanaNewLabel")];
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return labels.size() == 3 && watcher_->sent[QStringLiteral("NewIcon")].size() == 1;
    }));
    EXPECT_EQ(labels, QVariantList({QStringLiteral("10.0.0.5:studio"), QString(),
                                    QStringLiteral("192.168.1.20")}));

    // Offscreen there is no system tray either: without a panel, no item.
    watcher_->stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frontEnd_->kind() == Kind::Headless; }));
    // A new panel gets a new item, showing the last status at once.
    watcher_->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher_->registered.size() == 2; }));
    service_ = watcher_->registered.constLast();
    EXPECT_EQ(itemProperty(QStringLiteral("XAyatanaLabel")).toString(), "192.168.1.20");
    EXPECT_EQ(itemProperty(QStringLiteral("IconName")).toString(), "orbalenstatus-change");

    // Idle means idle: nothing wakes the GUI thread while nothing changes.
    struct TimerCount : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::Timer;
            return false;
        }
        int count = 0;
    } timers;
    qApp->installEventFilter(&timers);
    QTest::qWait(3500);
    qApp->removeEventFilter(&timers);
    EXPECT_EQ(timers.count, 0);
}

TEST_F(PanelBus, TheLayoutShowsTheMenuInOrderAndAnswersClicksAndOpening) {
    startItem();
    frontEnd_->showStatus(Status("10.0.0.5"));
    const QDBusMessage layout = call(QStringLiteral("GetLayout"), {0, -1, QStringList()});
    DBusMenuLayoutItem root;
    layout.arguments().value(1).value<QDBusArgument>() >> root;

    // Labels in order; "-" a separator, "!" before a disabled entry.
    const QStringList expected = {"!Internal IP Address:", "10.0.0.5", "-", "Copy IP Address",
                                  "Interfaces"};
    QStringList shown;
    for (const DBusMenuLayoutItem& child : root.children) {
        const QVariantMap& properties = child.properties;
        shown << (properties.value(QStringLiteral("type")) == QStringLiteral("separator")
                      ? QStringLiteral("-")
                      : (properties.value(QStringLiteral("enabled"), true).toBool() ? "" : "!") +
                            LabelOf(child));
    }
    ASSERT_EQ(shown, expected);
    // The submenu, its underscore kept from reading as a mnemonic, its
    // control characters gone.
    const DBusMenuLayoutItem& interfaces = root.children[4];
    EXPECT_EQ(interfaces.properties.value(QStringLiteral("children-display")).toString(),
              QStringLiteral("submenu"));
    EXPECT_EQ(LabelOf(interfaces.children.value(0)), QStringLiteral("wlan__0: 10.0.0.5"));

    // A refusal for what is not there.
    const std::pair<QString, QVariantList> refused[] = {
        {QStringLiteral("GetProperty"), {999, QStringLiteral("label")}},
        {QStringLiteral("GetProperty"), {root.children[2].id, QStringLiteral("label")}},
        {QStringLiteral("GetLayout"), {999, -1, QStringList()}},
    };
    for (const auto& [method, arguments] : refused) {
        EXPECT_EQ(call(method, arguments).type(), QDBusMessage::ErrorMessage)
            << method.toStdString() << " " << arguments.value(0).toInt();
    }

    // Clicks: a disabled entry does nothing, an unknown id is refused.
    const auto click = [](int id) {
        return app::panel::DBusMenuEvent{id, QStringLiteral("clicked"), QDBusVariant(QString()), 0};
    };
    const QDBusMessage events =
        call(QStringLiteral("EventGroup"),
             {QVariant::fromValue(app::panel::DBusMenuEventList{
                 click(root.children[0].id), click(999), click(root.children[3].id)})});
    EXPECT_EQ(qdbus_cast<QList<int>>(events.arguments().value(0)), QList<int>{999});
    ASSERT_EQ(chosen_.size(), 1u);
    EXPECT_EQ(chosen_[0].action, MenuAction::CopyAddress);

    // The three ways hosts tell of the menu opening: each is answered at once,
    // and the controller's new titles then reach the host without another call.
    const int addressId = root.children[1].id;
    const std::pair<QString, QVariantList> openings[] = {
        {QStringLiteral("AboutToShow"), {0}},
        {QStringLiteral("AboutToShowGroup"), {QVariant::fromValue(QList<int>{0, 4})}},
        {QStringLiteral("Event"),
         {0, QStringLiteral("opened"), QVariant::fromValue(QDBusVariant(QString())), 0u}},
    };
    int opened = 0;
    for (const auto& [method, arguments] : openings) {
        const QDBusMessage reply = call(method, arguments);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        const QString retitled = QStringLiteral("10.0.0.5 #%1").arg(++opened);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            app::panel::DBusMenuItemList sent;
            const auto& updates = watcher_->sent[QStringLiteral("ItemsPropertiesUpdated")];
            if (!updates.isEmpty()) {
                updates.constLast().value<QDBusArgument>() >> sent;
            }
            return std::any_of(sent.begin(), sent.end(), [&](const auto& entry) {
                return entry.id == addressId && LabelOf(entry) == retitled;
            });
        })) << method.toStdString();
    }
}

// One instance per user: one with a bus keeps out one without, even with no
// runtime folder where another user made our folder in /tmp first (as root).
TEST_F(PanelBus, OnlyOneInstanceRunsWithOrWithoutABus) {
    const testing_support::TempFolder root("single-instance");
    const ScopedEnv temporary("TMPDIR", root.path().c_str());
    const ScopedEnv data("XDG_DATA_HOME", (root / "data").c_str());
    const ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    const auto theirs = root / ("orbalenstatus-" + std::to_string(getuid()));
    std::filesystem::create_directories(theirs);
    const bool planted = chown(theirs.c_str(), 65534, 65534) == 0;
    app::SingleInstance first, second;
    EXPECT_EQ(first.claim(item(), 2s), app::SingleInstance::Result::Claimed);
    EXPECT_EQ(second.claim(QDBusConnection(QStringLiteral("no bus")), 2s),
              app::SingleInstance::Result::AlreadyRunning)
        << "planted: " << planted;
}

}  // namespace

#include "PanelBusTest.moc"
