// Our panel item and its menu as a panel host sees them, over a private
// session bus: a test StatusNotifierWatcher, and calls made the way the
// Ayatana, XFCE, Qt and KDE hosts make them.
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/FrontEndSwitch.h"
#include "app/SingleInstance.h"
#include "app/panel/PanelFrontEnd.h"
#include "support/ChildProcess.h"
#include "support/MenuItems.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using app::panel::DBusMenuItemList;
using app::panel::DBusMenuLayoutItem;
using controller::Menu;
using controller::MenuAction;
using controller::MenuItem;
using testing_support::ChildProcess;
using testing_support::Item;
using testing_support::Separator;

const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

// Stands in for the panel: records the items that register.
class TestWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    explicit TestWatcher(QDBusConnection bus) : bus_(std::move(bus)) {
        bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                            QDBusConnection::ExportAllSlots);
        start();
    }
    ~TestWatcher() override { bus_.unregisterObject(QStringLiteral("/StatusNotifierWatcher")); }

    void start() { bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")); }
    void stop() { bus_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher")); }

    QStringList registered;

public slots:
    void RegisterStatusNotifierItem(const QString& service) { registered.append(service); }

private:
    QDBusConnection bus_;
};

// Records the signals the item and its menu send.
class SignalLog : public QObject {
    Q_OBJECT

public:
    QStringList labels;
    int newIcons = 0;
    std::vector<DBusMenuItemList> updates;

public slots:
    void onLabel(const QString& label, const QString&) { labels.append(label); }
    void onNewIcon() { ++newIcons; }
    void onItemsUpdated(const QDBusMessage& message) {
        DBusMenuItemList items;
        message.arguments().constFirst().value<QDBusArgument>() >> items;
        updates.push_back(items);
    }
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A status menu like the controller's, its titles marked with a generation.
std::shared_ptr<const Menu> StatusMenu(const std::string& address, int generation) {
    const std::string mark = generation == 0 ? "" : " #" + std::to_string(generation);
    MenuItem interfaces = Item("Interfaces", MenuAction::None);
    // Names from outside may carry control and direction characters.
    interfaces.children = {
        Item("wlan_0\x1b\xe2\x80\xae\r\n: " + address, MenuAction::CopySelectedAddress, 0)};
    return std::make_shared<const Menu>(Menu{
        Item("Internal IP Address:"),
        Item(address + mark, MenuAction::CopySelectedAddress, 0),
        Separator(),
        Item("Copy IP Address", MenuAction::CopyAddress),
        interfaces,
        Separator(),
        Item("About OrbalenStatus", MenuAction::About),
        Item("Quit OrbalenStatus", MenuAction::Quit),
    });
}

app::StatusSnapshot Status(const std::string& title, const std::string& address, int generation,
                           std::optional<std::string> image = std::nullopt) {
    return {title, std::move(image), false, StatusMenu(address, generation)};
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
        daemon_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        const auto address = daemon_->readLine(10s);
        if (!address || address->empty()) {
            GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        }
        itemBus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromStdString(*address), QStringLiteral("item")));
        hostBus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromStdString(*address), QStringLiteral("host")));
        ASSERT_TRUE(itemBus_->isConnected() && hostBus_->isConnected());
        watcher_ = std::make_unique<TestWatcher>(*hostBus_);
        actions_.menuWillOpen = [this] {
            ++opened_;
            // The controller answers later, on its own thread.
            QTimer::singleShot(
                10, [this] { frontEnd_->showStatus(Status(title_, address_, opened_)); });
        };
        actions_.itemChosen = [this](const MenuItem& item) { chosen_.push_back(item); };
    }

    void TearDown() override {
        frontEnd_.reset();
        watcher_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("item"));
        QDBusConnection::disconnectFromBus(QStringLiteral("host"));
    }

    void startItem() {
        frontEnd_ = std::make_unique<app::panel::PanelFrontEnd>(actions_, *itemBus_);
        ASSERT_TRUE(WaitFor([&] { return !watcher_->registered.isEmpty(); }));
        service_ = watcher_->registered.constLast();
        const char* item = "/StatusNotifierItem";
        for (const auto& [path, interface, name, slot] :
             {std::tuple(item, kItemInterface, "XAyatanaNewLabel", SLOT(onLabel(QString, QString))),
              std::tuple(item, kItemInterface, "NewIcon", SLOT(onNewIcon())),
              std::tuple("/MenuBar", kMenuInterface, "ItemsPropertiesUpdated",
                         SLOT(onItemsUpdated(QDBusMessage)))}) {
            ASSERT_TRUE(hostBus_->connect(service_, path, interface, name, &log_, slot));
        }
    }

    // A call the way a host makes it; the item is served on this thread,
    // so the wait keeps the event loop going.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(service_, path, interface, method);
        message.setArguments(arguments);
        return hostBus_->call(message, QDBus::BlockWithGui, 5000);
    }

    QVariant itemProperty(const QString& name) {
        const QDBusMessage reply = call(QStringLiteral("/StatusNotifierItem"),
                                        QStringLiteral("org.freedesktop.DBus.Properties"),
                                        QStringLiteral("Get"), {kItemInterface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    QDBusMessage menuCall(const QString& method, const QVariantList& arguments) {
        return call(QStringLiteral("/MenuBar"), kMenuInterface, method, arguments);
    }

    DBusMenuLayoutItem layout() {
        const QDBusMessage reply = menuCall(QStringLiteral("GetLayout"), {0, -1, QStringList()});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        DBusMenuLayoutItem root;
        reply.arguments().value(1).value<QDBusArgument>() >> root;
        return root;
    }

    std::unique_ptr<ChildProcess> daemon_;
    std::unique_ptr<QDBusConnection> itemBus_;
    std::unique_ptr<QDBusConnection> hostBus_;
    std::unique_ptr<TestWatcher> watcher_;
    app::UserActions actions_;
    std::unique_ptr<app::FrontEnd> frontEnd_;
    QString service_;
    SignalLog log_;
    std::string title_ = "10.0.0.5";
    std::string address_ = "10.0.0.5";
    int opened_ = 0;
    std::vector<MenuItem> chosen_;
};

TEST_F(PanelBus, TheItemPointsTheHostAtItsMenuAndShowsTheTitleAndIcon) {
    startItem();
    EXPECT_TRUE(service_.startsWith(QStringLiteral("org.kde.StatusNotifierItem-")));
    EXPECT_EQ(itemProperty(QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
              QStringLiteral("/MenuBar"));

    // The label, tooltip and icon follow each status; each change is signalled.
    const struct {
        app::StatusSnapshot status;
        QString label, tip, icon;
    } steps[] = {
        {Status("10.0.0.5:studio\x1b\n", "10.0.0.5", 0), "10.0.0.5:studio", "10.0.0.5:studio",
         "orbalenstatus-panel"},
        {Status("192.168.1.20", "192.168.1.20", 0, "OrbalenStatusChange.tif"), "192.168.1.20",
         "192.168.1.20", "orbalenstatus-change"},
        // Icon-only: the icon stands alone; the tooltip still names the program.
        {Status("", "192.168.1.20", 0, "OrbalenStatusSmall.tif"), "", "OrbalenStatus",
         "orbalenstatus-panel"},
    };
    for (const auto& step : steps) {
        frontEnd_->showStatus(step.status);
        app::panel::DBusToolTip tip;
        itemProperty(QStringLiteral("ToolTip")).value<QDBusArgument>() >> tip;
        EXPECT_EQ(itemProperty(QStringLiteral("XAyatanaLabel")).toString(), step.label);
        EXPECT_EQ(tip.title, step.tip);
        EXPECT_EQ(itemProperty(QStringLiteral("IconName")).toString(), step.icon);
    }
    ASSERT_TRUE(WaitFor([&] { return log_.labels.size() == 3 && log_.newIcons == 2; }));
    EXPECT_EQ(log_.labels, QStringList({QStringLiteral("10.0.0.5:studio"),
                                        QStringLiteral("192.168.1.20"), QString()}));

    // A watcher that restarts gets the item registered again.
    watcher_->stop();
    watcher_->start();
    ASSERT_TRUE(WaitFor([&] { return watcher_->registered.size() == 2; }));
    EXPECT_EQ(watcher_->registered[1], service_);
}

TEST_F(PanelBus, TheLayoutShowsTheMenuInOrderAndAnswersClicksAndOpening) {
    startItem();
    frontEnd_->showStatus(Status("10.0.0.5", "10.0.0.5", 0));
    const DBusMenuLayoutItem root = layout();

    // Labels in order; "-" a separator, "!" before a disabled entry.
    const QStringList expected = {"!Internal IP Address:", "10.0.0.5",          "-",
                                  "Copy IP Address",       "Interfaces",        "-",
                                  "About OrbalenStatus",   "Quit OrbalenStatus"};
    QStringList shown;
    for (const DBusMenuLayoutItem& child : root.children) {
        const QVariantMap& properties = child.properties;
        shown << (properties.value(QStringLiteral("type")) == QStringLiteral("separator")
                      ? QStringLiteral("-")
                      : (properties.value(QStringLiteral("enabled"), true).toBool() ? "" : "!") +
                            properties.value(QStringLiteral("label")).toString());
    }
    ASSERT_EQ(shown, expected);
    // The submenu, its underscore kept from reading as a mnemonic, its
    // control characters gone.
    const DBusMenuLayoutItem& interfaces = root.children[4];
    EXPECT_EQ(interfaces.properties.value(QStringLiteral("children-display")).toString(),
              QStringLiteral("submenu"));
    ASSERT_EQ(interfaces.children.size(), 1);
    EXPECT_EQ(interfaces.children[0].properties.value(QStringLiteral("label")).toString(),
              QStringLiteral("wlan__0: 10.0.0.5"));

    // One property at a time, and a refusal for what is not there.
    const QDBusMessage label =
        menuCall(QStringLiteral("GetProperty"), {root.children[3].id, QStringLiteral("label")});
    EXPECT_EQ(label.arguments().value(0).value<QDBusVariant>().variant().toString(),
              QStringLiteral("Copy IP Address"));
    const std::pair<QString, QVariantList> refused[] = {
        {QStringLiteral("GetProperty"), {999, QStringLiteral("label")}},
        {QStringLiteral("GetProperty"), {root.children[2].id, QStringLiteral("label")}},
        {QStringLiteral("GetLayout"), {999, -1, QStringList()}},
    };
    for (const auto& [method, arguments] : refused) {
        EXPECT_EQ(menuCall(method, arguments).type(), QDBusMessage::ErrorMessage)
            << method.toStdString() << " " << arguments.value(0).toInt();
    }

    // A disabled entry does nothing when clicked; an unknown id is refused.
    const QDBusMessage events =
        menuCall(QStringLiteral("EventGroup"),
                 {QVariant::fromValue(app::panel::DBusMenuEventList{
                     {root.children[0].id, QStringLiteral("clicked"), QDBusVariant(QString()), 0},
                     {999, QStringLiteral("clicked"), QDBusVariant(QString()), 0}})});
    EXPECT_EQ(qdbus_cast<QList<int>>(events.arguments().value(0)), QList<int>{999});
    EXPECT_TRUE(chosen_.empty());
    menuCall(QStringLiteral("Event"), {root.children[3].id, QStringLiteral("clicked"),
                                       QVariant::fromValue(QDBusVariant(QString())), 0u});
    ASSERT_EQ(chosen_.size(), 1u);
    EXPECT_EQ(chosen_[0].action, MenuAction::CopyAddress);

    // The three ways hosts tell of the menu opening: each is answered at once,
    // and the controller's new titles then reach the host without another call.
    const int addressId = root.children[1].id;
    const auto labelOf = [](const auto& entry) {
        return entry.properties.value(QStringLiteral("label")).toString();
    };
    const std::pair<QString, QVariantList> openings[] = {
        {QStringLiteral("AboutToShow"), {0}},
        {QStringLiteral("AboutToShowGroup"), {QVariant::fromValue(QList<int>{0, 4})}},
        {QStringLiteral("Event"),
         {0, QStringLiteral("opened"), QVariant::fromValue(QDBusVariant(QString())), 0u}},
    };
    int opened = 0;
    for (const auto& [method, arguments] : openings) {
        const QDBusMessage reply = menuCall(method, arguments);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(opened_, ++opened) << method.toStdString();
        const QString retitled = QStringLiteral("10.0.0.5 #%1").arg(opened);
        EXPECT_TRUE(WaitFor([&] {
            const auto sent = log_.updates.empty() ? DBusMenuItemList() : log_.updates.back();
            return std::any_of(sent.begin(), sent.end(), [&](const auto& entry) {
                return entry.id == addressId && labelOf(entry) == retitled;
            });
        })) << method.toStdString();
        const DBusMenuLayoutItem entry = layout().children.value(1);
        EXPECT_EQ(std::pair(entry.id, labelOf(entry)), std::pair(addressId, retitled));
    }
}

TEST_F(PanelBus, TheFrontEndFollowsTheWatcherComingAndGoing) {
    frontEnd_ = std::make_unique<app::FrontEndSwitch>(actions_, *itemBus_);
    auto& frontEnd = static_cast<app::FrontEndSwitch&>(*frontEnd_);
    EXPECT_EQ(frontEnd.kind(), app::FrontEndSwitch::Kind::Panel);
    frontEnd.showStatus(Status("10.0.0.5", "10.0.0.5", 0));
    ASSERT_TRUE(WaitFor([&] { return watcher_->registered.size() == 1; }));

    // Offscreen there is no system tray either.
    watcher_->stop();
    ASSERT_TRUE(WaitFor([&] { return frontEnd.kind() == app::FrontEndSwitch::Kind::Headless; }));

    // A new panel gets a new item, showing the last title at once.
    watcher_->start();
    ASSERT_TRUE(WaitFor([&] { return watcher_->registered.size() == 2; }));
    EXPECT_EQ(frontEnd.kind(), app::FrontEndSwitch::Kind::Panel);
    service_ = watcher_->registered.constLast();
    EXPECT_EQ(itemProperty(QStringLiteral("XAyatanaLabel")).toString(), QStringLiteral("10.0.0.5"));

    // Idle means idle: nothing wakes the GUI thread while nothing changes.
    struct TimerCount : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::Timer;
            return false;
        }
        int count = 0;
    } timers;
    qApp->installEventFilter(&timers);
    WaitFor([] { return false; }, 3500ms);
    qApp->removeEventFilter(&timers);
    EXPECT_EQ(timers.count, 0);
    frontEnd.withdraw();
}

// One instance per user whether or not it has a bus, and a lock no other
// user can keep from being taken by making our folder in /tmp first.
TEST_F(PanelBus, OnlyOneInstanceRunsWithOrWithoutABus) {
    const testing_support::TempFolder root("single-instance");
    const std::string run = (root / "run").string();
    ASSERT_EQ(mkdir(run.c_str(), 0700), 0);  // a runtime folder is private
    const testing_support::ScopedEnv temporary("TMPDIR", root.path().c_str());
    const testing_support::ScopedEnv data("XDG_DATA_HOME", (root / "data").c_str());
    const QDBusConnection noBus(QStringLiteral("no bus"));
    const auto secondIsRefused = [&](const QDBusConnection& firstBus) {
        app::SingleInstance first, second;
        EXPECT_EQ(first.claim(firstBus, 2s), app::SingleInstance::Result::Claimed);
        EXPECT_EQ(second.claim(noBus, 2s), app::SingleInstance::Result::AlreadyRunning);
    };
    {
        const testing_support::ScopedEnv runtime("XDG_RUNTIME_DIR", run.c_str());
        secondIsRefused(*itemBus_);
    }
    // No runtime folder, and another user made our folder in /tmp first.
    const testing_support::ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    const fs::path planted = root / ("orbalenstatus-" + std::to_string(getuid()));
    fs::create_directories(planted);
    if (chown(planted.c_str(), 65534, 65534) != 0) {
        GTEST_SKIP() << "only root can make a folder another user's";
    }
    secondIsRefused(noBus);
}

}  // namespace

#include "PanelBusTest.moc"
