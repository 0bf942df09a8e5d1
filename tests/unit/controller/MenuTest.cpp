#include "ControllerTest.h"

namespace {

using controller::MenuAction;
using controller::MenuItem;

class MenuTest : public ControllerTest {
protected:
    const MenuItem& itemAt(std::size_t position) const { return item_.menu.at(position); }
    // Chooses the first item with this title, as the front end hands it back.
    void choose(const std::string& title) {
        const auto& menu = item_.menu;
        const auto found = std::ranges::find(menu, title, &MenuItem::title);
        ASSERT_NE(found, menu.end()) << title;
        controller().performAction(*found);
    }
};

// The address lines as a user sees them (title|tag|tooltip|enabled), from
// the header to the next separator. (What each entry does is checked by
// choosing it.)
Lines AddressRows(const controller::Menu& menu) {
    Lines rows;
    auto at = std::ranges::find(menu, "All local Addresses:", &MenuItem::title);
    for (at = at == menu.end() ? at : at + 1; at != menu.end() && !at->separator; ++at) {
        rows.push_back(at->title + "|" + std::to_string(at->tag) + "|" + at->toolTip + "|" +
                       (at->enabled ? "on" : "off"));
    }
    return rows;
}

Lines Titles(const controller::Menu& menu) {
    Lines titles;
    for (const auto& item : menu) {
        titles.push_back(item.separator ? "-" : item.title);
    }
    return titles;
}

std::string AddressRow(const std::string& address, int tag) {
    return address + "|" + std::to_string(tag) + "|Copy addres " + std::to_string(tag + 1) + " (" +
           address + ") to the clipboard|on";
}

// Opening retitles the information lines at positions 0 to 2 and refreshes;
// the external address is looked up only when the menu is to show it.
TEST_F(MenuTest, OpeningRetitlesTheInformationLinesAndRefreshes) {
    addresses_.answer({"10.0.0.5"});
    start();
    const auto fetchesBefore = pages_.fetched.size();
    const auto open = [this](const Lines& titles) {
        controller().menuNeedsUpdate();
        settle();
        EXPECT_EQ((Lines{itemAt(0).title, itemAt(1).title, itemAt(2).title}), titles);
        EXPECT_EQ(log_.back(), refreshedLine("10.0.0.5"));
    };
    pages_.answerAddress("203.0.113.7");
    names_ = {{"10.0.0.5", "studio.lan"}};
    open({"studio.lan", "Include external IP is off", "External DNS name unavailable"});
    EXPECT_EQ(pages_.fetched.size(), fetchesBefore);

    store(keys::kIncludeExternalIP, true);
    pages_.page.reset();
    names_.clear();
    open({"DNS name unavailable", "-.-.-.-", "External DNS name unavailable"});
    EXPECT_EQ(count("External IP address:-.-.-.- (no name)"), 1);
    EXPECT_EQ(pages_.fetched.size(), fetchesBefore + 1);
}

TEST_F(MenuTest, CopyCommandsPutTheirTextOnTheClipboard) {
    store(keys::kIncludeExternalIP, true);
    store(keys::kIncludeMachineName, true);
    addresses_.answer({"10.0.0.5", "10.0.0.6"});
    names_ = {{"10.0.0.5", "studio.lan"}, {"203.0.113.7", "gw.example.net"}};
    pages_.answerAddress("203.0.113.7");
    start();
    controller().menuNeedsUpdate();
    settle();
    EXPECT_EQ(count("External IP address:203.0.113.7 (gw.example.net)"), 1);

    const std::pair<const char*, const char*> cases[] = {
        {"Copy IP Address", "10.0.0.5:Studio"}, {"Copy External IP Address", "203.0.113.7"},
        {"Copy DNS Name", "studio.lan"},        {"Copy External DNS Name", "gw.example.net"},
        {"studio.lan", "studio.lan"},           {"203.0.113.7", "203.0.113.7"},
        {"gw.example.net", "gw.example.net"},   {"10.0.0.6", "10.0.0.6"},
    };
    for (const auto& [title, copied] : cases) {
        choose(title);
        EXPECT_EQ(desktop_.clipboard.back(), copied) << title;
    }
    store(keys::kTitleIconOnly, true);
    refresh();
    choose("Copy IP Address");
    EXPECT_EQ(desktop_.clipboard.back(), "") << "icon only: the title is empty";
}

TEST_F(MenuTest, AddressItemsAreListedAndCopyTheEntryNowAtTheirPosition) {
    addresses_.answer({"10.0.0.5", "10.0.0.6", "10.0.0.7"});
    start();
    const controller::Menu built = item_.menu;
    EXPECT_EQ(AddressRows(built), (Lines{AddressRow("10.0.0.5", 0), AddressRow("10.0.0.6", 1),
                                         AddressRow("10.0.0.7", 2)}));
    const auto addressItem = [&](int tag) {
        return *std::ranges::find_if(built, [tag](const MenuItem& item) {
            return item.action == MenuAction::CopySelectedAddress && item.tag == tag;
        });
    };

    addresses_.answer({"10.0.0.9", "10.0.0.5"});
    refresh();  // the list changes, the menu stays as built
    controller().performAction(addressItem(1));
    controller().performAction(addressItem(2));  // beyond the shrunken list
    MenuItem negative = addressItem(0);
    negative.tag = -1;
    controller().performAction(negative);
    EXPECT_EQ(desktop_.clipboard, Lines{"10.0.0.5"});

    addresses_.answer({});
    refresh(true);
    controller().performAction(addressItem(0));
    EXPECT_EQ(desktop_.clipboard, Lines{"10.0.0.5"}) << "nothing from an empty list";
    EXPECT_EQ(
        Titles(item_.menu),
        (Lines{"DNS name unavailable", "External IP unavailable", "External DNS name unavailable",
               "-", "Copy IP Address", "Copy External IP Address", "Copy DNS Name",
               "Copy External DNS Name", "-", "All local Addresses:", "-", "Preferences...",
               "Console Log...", "-", "About OrbalenStatus", "Quit"}))
        << "the header, then the separator";

    addresses_.answer({"10.0.0.9", "10.0.0.5"});
    controller().menuNeedsUpdate();  // opening shows the addresses each item copies
    EXPECT_EQ(AddressRows(item_.menu),
              (Lines{AddressRow("10.0.0.9", 0), AddressRow("10.0.0.5", 1)}));
}

TEST_F(MenuTest, WindowAndApplicationCommandsReachTheDesktop) {
    addresses_.answer({"10.0.0.5"});
    start();
    for (const char* title : {"All local Addresses:", "Preferences...", "Console Log...",
                              "About OrbalenStatus", "Quit"}) {
        choose(title);
    }
    EXPECT_EQ(desktop_.requests, (Lines{"bringToFront", "preferences", "openConsole",
                                        "bringToFront", "about", "terminate"}));
}

}  // namespace
