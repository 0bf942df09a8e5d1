#include "ControllerTest.h"

namespace {

using controller::MenuItem;

// The menu as a user sees it: "-" for a separator, else the title, and for
// an address entry its tag, tooltip and whether it is enabled.
Lines Rows(const controller::Menu& menu) {
    Lines rows;
    for (const auto& item : menu) {
        const bool address = item.action == controller::MenuAction::CopySelectedAddress;
        rows.push_back(item.separator ? "-"
                       : address      ? item.title + "|" + std::to_string(item.tag) + "|" +
                                       item.toolTip + "|" + (item.enabled ? "on" : "off")
                                 : item.title);
    }
    return rows;
}

std::string AddressRow(const std::string& address, int tag) {
    return address + "|" + std::to_string(tag) + "|Copy addres " + std::to_string(tag + 1) + " (" +
           address + ") to the clipboard|on";
}

class MenuTest : public ControllerTest {
protected:
    // Chooses the first item with this title, as the front end hands it back.
    void choose(const std::string& title) {
        const auto found = std::ranges::find(item_.menu, title, &MenuItem::title);
        ASSERT_NE(found, item_.menu.end()) << title;
        controller().performAction(*found);
    }
    // Opens the menu; its first three rows, the information lines.
    Lines open() {
        controller().menuNeedsUpdate();
        settle();
        EXPECT_EQ(log_.back(), refreshedLine(controller::gAddresses.at(0))) << "it refreshes";
        const Lines rows = Rows(item_.menu);
        return Lines(rows.begin(), rows.begin() + 3);
    }
};

// Opening retitles the information lines, looking the external address up
// only when the menu shows it; the copy commands copy what the lines show.
TEST_F(MenuTest, OpeningRetitlesTheInformationLinesAndCommandsCopyThem) {
    pages_[""].reset();  // nothing cached at start-up
    start();
    names_ = {{"10.0.0.5", "studio.lan"}, {"203.0.113.7", "gw.example.net"}};
    EXPECT_EQ(open(),
              (Lines{"studio.lan", "Include external IP is off", "External DNS name unavailable"}));
    EXPECT_EQ(fetched_.size(), 1u) << "only the start-up's";
    store({{keys::kIncludeExternalIP, true}});
    EXPECT_EQ(open(), (Lines{"studio.lan", "-.-.-.-", "External DNS name unavailable"}));
    EXPECT_EQ(count("External IP address:-.-.-.- (no name)"), 1);
    store({{keys::kIncludeMachineName, true}});
    pages_[""] = Page("203.0.113.7");
    EXPECT_EQ(open(), (Lines{"studio.lan", "203.0.113.7", "gw.example.net"}));
    EXPECT_EQ(count("External IP address:203.0.113.7 (gw.example.net)"), 1);

    const std::pair<const char*, const char*> cases[] = {
        {"Copy IP Address", "10.0.0.5:Studio"}, {"Copy External IP Address", "203.0.113.7"},
        {"Copy DNS Name", "studio.lan"},        {"Copy External DNS Name", "gw.example.net"},
        {"gw.example.net", "gw.example.net"},  // an information line copies itself
    };
    for (const auto& [title, copied] : cases) {
        choose(title);
        EXPECT_EQ(desktop_.clipboard.back(), copied) << title;
    }

    for (const char* title : {"All local Addresses:", "Preferences...", "Console Log...",
                              "About OrbalenStatus", "Quit"}) {
        choose(title);
    }
    EXPECT_EQ(desktop_.requests, (Lines{"bringToFront", "preferences", "openConsole",
                                        "bringToFront", "about", "terminate"}));
}

TEST_F(MenuTest, AddressItemsAreListedAndCopyTheEntryNowAtTheirPosition) {
    answer({"10.0.0.5", "10.0.0.6", "10.0.0.7"});
    start();
    const controller::Menu built = item_.menu;
    const Lines skeleton({"DNS name unavailable", "External IP unavailable",
                          "External DNS name unavailable", "-", "Copy IP Address",
                          "Copy External IP Address", "Copy DNS Name", "Copy External DNS Name",
                          "-", "All local Addresses:", "-", "Preferences...", "Console Log...", "-",
                          "About OrbalenStatus", "Quit"});
    Lines rows = skeleton;
    rows.insert(rows.begin() + 10,
                {AddressRow("10.0.0.5", 0), AddressRow("10.0.0.6", 1), AddressRow("10.0.0.7", 2)});
    EXPECT_EQ(Rows(built), rows) << "the addresses after their header";
    const auto addressItem = [&](int tag) { return built.at(10 + tag); };

    answer({"10.0.0.9", "10.0.0.5"});
    refresh();  // the list changes, the menu stays as built
    controller().performAction(addressItem(1));
    controller().performAction(addressItem(2));  // beyond the shrunken list
    MenuItem negative = addressItem(0);
    negative.tag = -1;
    controller().performAction(negative);
    EXPECT_EQ(desktop_.clipboard, Lines{"10.0.0.5"});

    answer({});
    refresh(true);
    controller().performAction(addressItem(0));
    EXPECT_EQ(desktop_.clipboard, Lines{"10.0.0.5"}) << "nothing from an empty list";
    EXPECT_EQ(Rows(item_.menu), skeleton) << "the header, then the separator";

    answer({"10.0.0.9", "10.0.0.5"});
    controller().menuNeedsUpdate();  // opening shows the addresses each item copies
    rows = Rows(item_.menu);
    EXPECT_EQ(Lines(rows.begin() + 10, rows.begin() + 12),
              (Lines{AddressRow("10.0.0.9", 0), AddressRow("10.0.0.5", 1)}));
}

}  // namespace
