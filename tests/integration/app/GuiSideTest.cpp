// The GUI thread's side of the program: the tray's menu, the dialogs and the
// alert (offscreen, no display). How snapshots reach the GUI thread shows
// end to end, in what the running program publishes.
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
#include "app/TrayFrontEnd.h"
#include "platform/qt/QtAlert.h"

#include "support/MenuItems.h"

namespace {

using namespace std::chrono_literals;
using controller::Menu;
using controller::MenuAction;
using controller::MenuItem;
using testing_support::Item;
using testing_support::Separator;

// One offscreen application for every test.
class GuiSide : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "gui_side_tests";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication application(argc, argv);
    }
};

Menu Model(const std::string& host, std::vector<std::string> addresses) {
    Menu items = {Item(host, MenuAction::CopyDNSName), Separator(), Item("All local Addresses:")};
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        items.push_back(Item(addresses[i], MenuAction::CopySelectedAddress, static_cast<int>(i)));
    }
    items.push_back(Item("Preferences...", MenuAction::Preferences));
    items.back().enabled = false;
    items.push_back(Item("More"));
    items.back().children = {Item("Quit", MenuAction::Quit)};
    return items;
}

// Opening the menu asks for an update. A model of the same shape updates the
// open menu in place; another shape replaces the entries. Outside text shows
// as written: Qt reads '&' as a mnemonic and markup-like tooltips as rich text.
TEST_F(GuiSide, TheTrayMenuShowsTheModelUpdatesInPlaceAndHandsBackTheChosenItem) {
    int opened = 0;
    std::vector<MenuItem> chosen;
    app::TrayFrontEnd tray(
        {[&] { ++opened; }, [&](const MenuItem& item) { chosen.push_back(item); }});
    const auto show = [&](Menu model) {
        tray.showStatus(
            {"10.0.0.1", std::nullopt, false, std::make_shared<const Menu>(std::move(model))});
    };
    show(Model("DNS name unavailable", {"10.0.0.1", "10.0.0.2"}));
    QMenu* menu = nullptr;  // the tray's: the one menu that is no submenu
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<QMenu*>(widget); found && !found->parentWidget()) {
            menu = found;
        }
    }
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    EXPECT_EQ(opened, 1);

    const QList<QAction*> actions = menu->actions();
    Menu renamed = Model("R&D <b>box</b>\x1b\xe2\x80\xae\n", {"10.0.0.1", "10.0.0.9"});
    renamed[0].toolTip = "<img src=x>\r";
    show(renamed);
    ASSERT_EQ(menu->actions(), actions);
    ASSERT_EQ(actions.size(), 7);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("R&&D <b>box</b>"));
    EXPECT_EQ(actions[0]->toolTip(), QStringLiteral("<qt>&lt;img src=x&gt;</qt>"));
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

    show(Model("host.example", {"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    ASSERT_EQ(menu->actions().size(), 8);
    EXPECT_EQ(menu->actions()[5]->text(), "10.0.0.3");
    tray.showStatus({"", std::nullopt, false, nullptr});
    EXPECT_TRUE(menu->actions().isEmpty());
}

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
TEST_F(GuiSide, TheClipboardTakesAnyTextAndAnUnopenedLogIsNamed) {
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

// A caller on another thread waits until the user dismisses the alert, and
// no longer once the program closes the alerts.
TEST_F(GuiSide, AnAlertMakesAnotherThreadWaitForTheUserOrTheEnd) {
    platform::QtAlert alert;
    auto answer = std::async(std::launch::async,
                             [&] { return alert.showStopAlert("No address", "Check the cable"); });
    // The box runs its own event loop; this timer fires inside it and clicks
    // OK as the user would, noting what the box said and that the caller
    // was still waiting.
    QString seen;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            const bool waiting = answer.wait_for(0ms) == std::future_status::timeout;
            seen = box->text() + "/" + box->informativeText() + (waiting ? " (waiting)" : "");
            box->button(QMessageBox::Ok)->click();
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
    EXPECT_EQ(seen, "No address/Check the cable (waiting)");
    EXPECT_EQ(late.get(), -1);
    EXPECT_EQ(alert.showStopAlert("m", ""), -1);
}

}  // namespace
