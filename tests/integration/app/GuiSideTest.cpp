// The GUI thread's side (offscreen): the tray's menu, the dialogs, the alert.
// How snapshots reach it shows end to end, in what the program publishes.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMessageBox>
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

// A status whose menu has the usual shape, a disabled entry and a submenu.
app::StatusSnapshot Status(const std::string& host, std::vector<std::string> addresses,
                           const std::string& hostTip = "") {
    Menu items = {Item(host, MenuAction::CopyDNSName), Separator(), Item("All local Addresses:")};
    items[0].toolTip = hostTip;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        items.push_back(Item(addresses[i], MenuAction::CopySelectedAddress, static_cast<int>(i)));
    }
    items.push_back(Item("Preferences...", MenuAction::Preferences));
    items.back().enabled = false;
    items.push_back(Item("More"));
    items.back().children = {Item("Quit", MenuAction::Quit)};
    return {"10.0.0.1", std::nullopt, false, std::make_shared<const Menu>(std::move(items))};
}

// Opening the menu asks for an update. A model of the same shape updates the
// open menu in place; another shape replaces the entries. Outside text shows
// as written: Qt reads '&' as a mnemonic and markup-like tooltips as rich text.
TEST_F(GuiSide, TheTrayMenuShowsTheModelUpdatesInPlaceAndHandsBackTheChosenItem) {
    int opened = 0;
    std::vector<MenuItem> chosen;
    app::TrayFrontEnd tray(
        {[&] { ++opened; }, [&](const MenuItem& item) { chosen.push_back(item); }});
    tray.showStatus(Status("DNS name unavailable", {"10.0.0.1", "10.0.0.2"}));
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
    tray.showStatus(
        Status("R&D <b>box</b>\x1b\xe2\x80\xae\n", {"10.0.0.1", "10.0.0.9"}, "<img src=x>\r"));
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

    tray.showStatus(Status("host.example", {"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
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

// A caller on another thread waits while the alert shows, and no longer
// once the program closes the alerts (the GUI loop may have ended by then);
// later callers return at once.
TEST_F(GuiSide, ClosingTheAlertsReleasesACallerOnAnotherThread) {
    platform::QtAlert alert;
    auto answer = std::async(std::launch::async,
                             [&] { return alert.showStopAlert("No address", "Check the cable"); });
    EXPECT_EQ(answer.wait_for(200ms), std::future_status::timeout);
    alert.close();
    EXPECT_EQ(answer.get(), -1);
    EXPECT_EQ(alert.showStopAlert("m", ""), -1);
}

}  // namespace
