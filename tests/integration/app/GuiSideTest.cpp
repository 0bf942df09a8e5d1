// The GUI thread's side of the program: snapshots from the controller's
// thread, and the menu model shown in a QMenu (offscreen, no display).
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/DesktopDialogs.h"
#include "app/GuiBridge.h"
#include "app/MenuRenderer.h"
#include "app/TrayFrontEnd.h"
#include "platform/ManualRunLoop.h"
#include "platform/qt/QtAlert.h"

#include "support/MenuItems.h"

namespace {

using namespace std::chrono_literals;
using controller::Menu;
using controller::MenuAction;
using controller::MenuItem;
using testing_support::Item;
using testing_support::Separator;

struct RecordingSink : app::GuiSink {
    std::vector<app::StatusSnapshot> shown;
    std::vector<std::string> clipboard;
    int quits = 0;

    void showStatus(const app::StatusSnapshot& status) override { shown.push_back(status); }
    void showState(const controller::AddressState&) override {}
    void notify(const std::string&, const std::string&) override {}
    void putOnClipboard(const std::string& text) override { clipboard.push_back(text); }
    void bringToFront() override {}
    void showAboutPanel() override {}
    void showPreferences() override {}
    void openLog(const std::filesystem::path&) override {}
    void quit() override { ++quits; }
};

std::shared_ptr<const Menu> MenuOf(Menu items) {
    return std::make_shared<const Menu>(std::move(items));
}

void RunPosted(platform::ManualRunLoop& loop) {
    while (loop.runOnce(0ms)) {
    }
}

TEST(GuiBridge, ABurstOfChangesReachesTheGuiAsOneSnapshot) {
    platform::ManualRunLoop gui;
    RecordingSink sink;
    auto bridge = std::make_unique<app::GuiBridge>(gui, sink);
    const auto menu = MenuOf({Item("Quit", MenuAction::Quit)});

    bridge->setTitle("10.0.0.1");
    bridge->setImage("OrbalenStatusChange.tif");
    bridge->setMenu(menu);
    EXPECT_EQ(bridge->title(), "10.0.0.1");  // answered on the controller's side
    EXPECT_TRUE(sink.shown.empty());         // nothing runs on the GUI before its loop does
    RunPosted(gui);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].title, "10.0.0.1");
    EXPECT_EQ(sink.shown[0].image, "OrbalenStatusChange.tif");
    EXPECT_EQ(sink.shown[0].menu, menu);

    // A later change is posted again, and still arrives after the bridge
    // (the controller's thread) has gone.
    bridge->setImage(std::nullopt);
    bridge->putOnClipboard("");
    bridge->terminate();
    bridge.reset();
    RunPosted(gui);
    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(sink.shown[1].title, "10.0.0.1");
    EXPECT_EQ(sink.shown[1].image, std::nullopt);
    EXPECT_EQ(sink.clipboard, std::vector<std::string>{""});
    EXPECT_EQ(sink.quits, 1);
}

// One offscreen application for every test that needs widgets.
class WithWidgets : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "gui_side_tests";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication application(argc, argv);
    }
};

class MenuRendererTest : public WithWidgets {
protected:
    QMenu menu;
    std::vector<MenuItem> chosen;
    app::MenuRenderer renderer{menu, [this](const MenuItem& item) { chosen.push_back(item); }};

    static Menu Model(const std::string& firstTitle, std::vector<std::string> addresses) {
        Menu items = {Item(firstTitle, MenuAction::CopyDNSName), Separator(),
                      Item("All local Addresses:")};
        items[0].toolTip = "Copy the name";
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            items.push_back(
                Item(addresses[i], MenuAction::CopySelectedAddress, static_cast<int>(i)));
        }
        items.push_back(Item("Preferences...", MenuAction::Preferences));
        items.back().enabled = false;
        items.push_back(Item("More"));
        items.back().children = {Item("Quit", MenuAction::Quit)};
        return items;
    }
};

// A model of the same shape updates the open menu in place; another shape
// replaces the entries.
TEST_F(MenuRendererTest, ShowsTheModelUpdatesInPlaceAndHandsBackTheChosenItem) {
    renderer.render(MenuOf(Model("DNS name unavailable", {"10.0.0.1", "10.0.0.2"})));
    const QList<QAction*> actions = menu.actions();
    renderer.render(MenuOf(Model("host.example", {"10.0.0.1", "10.0.0.9"})));
    ASSERT_EQ(menu.actions(), actions);
    ASSERT_EQ(actions.size(), 7);
    EXPECT_EQ(actions[0]->text(), "host.example");
    EXPECT_EQ(actions[0]->toolTip(), "Copy the name");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_FALSE(actions[2]->isEnabled()) << "an item without an action only informs";
    EXPECT_FALSE(actions[5]->isEnabled()) << "the model's own disabled flag";
    ASSERT_NE(actions[6]->menu(), nullptr);
    EXPECT_TRUE(actions[6]->isEnabled());

    actions[4]->trigger();
    actions[6]->menu()->actions().at(0)->trigger();
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].title, "10.0.0.9");
    EXPECT_EQ(chosen[0].tag, 1);
    EXPECT_EQ(chosen[1].action, MenuAction::Quit);

    renderer.render(MenuOf(Model("host.example", {"10.0.0.1", "10.0.0.2", "10.0.0.3"})));
    ASSERT_EQ(menu.actions().size(), 8);
    EXPECT_EQ(menu.actions()[5]->text(), "10.0.0.3");
    renderer.render(nullptr);
    EXPECT_TRUE(menu.actions().isEmpty());
}

// Qt reads '&' as a mnemonic and tooltips that look like markup as rich
// text: outside text shows as written.
TEST_F(MenuRendererTest, OutsideTextShowsAsWritten) {
    MenuItem host = Item("R&D <b>box</b>\x1b\xe2\x80\xae\n");
    host.toolTip = "<img src=x>\r";
    renderer.render(MenuOf({host}));
    EXPECT_EQ(menu.actions().at(0)->text(), QStringLiteral("R&&D <b>box</b>"));
    EXPECT_EQ(menu.actions().at(0)->toolTip(), QStringLiteral("<qt>&lt;img src=x&gt;</qt>"));
}

using TrayFrontEndTest = WithWidgets;

TEST_F(TrayFrontEndTest, OpeningTheMenuAsksForAnUpdateAndAnEntryIsHandedBack) {
    int opened = 0;
    std::vector<MenuAction> chosen;
    app::TrayFrontEnd tray(
        {[&] { ++opened; }, [&](const MenuItem& item) { chosen.push_back(item.action); }});
    tray.showStatus({"10.0.0.1", std::nullopt, false,
                     MenuOf({Item("About OrbalenStatus", MenuAction::About), Separator(),
                             Item("Quit", MenuAction::Quit)})});
    // The tray's menu is the one top-level menu there is.
    QMenu* menu = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        menu = menu ? menu : qobject_cast<QMenu*>(widget);
    }
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(menu->actions().size(), 3);
    menu->actions()[2]->trigger();
    EXPECT_EQ(chosen, std::vector<MenuAction>{MenuAction::Quit});
}

using DesktopDialogsTest = WithWidgets;

QString VisibleNote() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box->text();
        }
    }
    return {};
}

// Even an empty text replaces what the clipboard held; a log no viewer
// opens, whether none starts or it gives up later, is named in a note.
TEST_F(DesktopDialogsTest, TheClipboardTakesAnyTextAndAnUnopenedLogIsNamed) {
    std::function<void(bool)> finish;
    bool starts = false;
    app::DesktopDialogs dialogs([&](const std::filesystem::path&, std::function<void(bool)> done) {
        finish = std::move(done);
        return starts;
    });
    for (const std::string text : {"10.0.0.1", ""}) {
        dialogs.putOnClipboard(text);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), text);
    }
    const std::filesystem::path log = "/home/ann/.local/share/OrbalenStatus <1>.log";
    dialogs.openLog(log);
    EXPECT_TRUE(VisibleNote().contains("OrbalenStatus &lt;1&gt;.log"))
        << VisibleNote().toStdString();
    dialogs.closeAll();
    starts = true;
    dialogs.openLog(log);
    EXPECT_EQ(VisibleNote(), QString()) << "the viewer may still open it";
    std::thread([&] { finish(false); }).join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(VisibleNote().contains("/home/ann/.local/share/")) << VisibleNote().toStdString();
}

using QtAlertTest = WithWidgets;

// A caller on another thread waits until the user dismisses the alert, and
// no longer once the program closes the alerts.
TEST_F(QtAlertTest, AnotherThreadWaitsForTheUserOrTheEnd) {
    platform::QtAlert alert;
    auto answer = std::async(std::launch::async,
                             [&] { return alert.showStopAlert("No address", "Check the cable"); });
    // The box runs its own event loop; this timer fires inside it and clicks
    // OK as the user would, noting what the box said and that the caller
    // was still waiting.
    QString seen;
    bool waitedForTheUser = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible()) {
                seen = box->text() + "/" + box->informativeText();
                waitedForTheUser = answer.wait_for(0ms) == std::future_status::timeout;
                box->button(QMessageBox::Ok)->click();
            }
        }
    });
    user.start(10);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (answer.wait_for(1ms) != std::future_status::ready &&
           std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
    }
    user.stop();
    // Closing releases a caller while the GUI loop is not running, as when
    // the program ends, and later callers return at once.
    auto late = std::async(std::launch::async, [&] { return alert.showStopAlert("m", ""); });
    std::this_thread::sleep_for(20ms);
    alert.close();
    EXPECT_EQ(answer.get(), 0);
    EXPECT_EQ(seen, "No address/Check the cable");
    EXPECT_TRUE(waitedForTheUser);
    EXPECT_EQ(late.get(), -1);
    EXPECT_EQ(alert.showStopAlert("m", ""), -1);
}

}  // namespace
