#include "ControllerTest.h"

namespace {

using controller::MenuAction;
using controller::MenuItem;

class MenuTest : public ControllerTest {
protected:
    const MenuItem& itemAt(std::size_t position) const { return item_.menu().at(position); }
    // Chooses the first item with this title, as the front end hands it back.
    void choose(const std::string& title) {
        const auto& menu = item_.menu();
        const auto found = std::ranges::find(menu, title, &MenuItem::title);
        ASSERT_NE(found, menu.end()) << title;
        controller().performAction(*found);
    }
};

// One line of the menu as a user sees it: title|tag|tooltip|enabled. (What
// each entry does is checked by choosing it.)
Lines Rows(const controller::Menu& menu) {
    Lines rows;
    for (const auto& item : menu) {
        rows.push_back((item.separator ? "-" : item.title) + "|" + std::to_string(item.tag) + "|" +
                       item.toolTip + "|" + (item.enabled ? "on" : "off"));
    }
    return rows;
}

const std::string kDNSTip = "Copy this machines DNS (domain name system) name to the clipboard";
const std::string kExternalTip = "Copy the external IP address to the clipboard";
const std::string kExternalDNSTip =
    "Copy this machines external DNS (domain name system) name to the clipboard";

// The whole menu around these address rows.
Lines ExpectedRows(const Lines& addressRows) {
    Lines rows = {
        "DNS name unavailable|0|" + kDNSTip + "|on",
        "External IP unavailable|0|" + kExternalTip + "|on",
        "External DNS name unavailable|0|" + kExternalDNSTip + "|on",
        "-|0||off",
        "Copy IP Address|0|Copy this machines IP address to the clipboard|on",
        "Copy External IP Address|0|" + kExternalTip + "|on",
        "Copy DNS Name|0|" + kDNSTip + "|on",
        "Copy External DNS Name|0|" + kExternalDNSTip + "|on",
        "-|0||off",
        "All local Addresses:|0||off",
    };
    rows.insert(rows.end(), addressRows.begin(), addressRows.end());
    rows.insert(rows.end(), {"-|0||off", "Preferences...|0||on", "Console Log...|0||on", "-|0||off",
                             "About OrbalenStatus|0||on", "Quit|0||on"});
    return rows;
}

std::string AddressRow(const std::string& address, int tag) {
    return address + "|" + std::to_string(tag) + "|Copy addres " + std::to_string(tag + 1) + " (" +
           address + ") to the clipboard|on";
}

TEST_F(MenuTest, LayoutListsEveryAddressWithItsTagAndTooltip) {
    addresses_.answer({"10.0.0.5", "192.168.1.2", "172.16.0.9"});
    start();
    EXPECT_EQ(Rows(item_.menu()),
              ExpectedRows({AddressRow("10.0.0.5", 0), AddressRow("192.168.1.2", 1),
                            AddressRow("172.16.0.9", 2)}));
    addresses_.answer({});
    refresh(true);
    EXPECT_EQ(Rows(item_.menu()), ExpectedRows({})) << "the header, then the separator";
}

// What opening the menu shows at positions 0 to 2.
struct OpeningCase {
    const char* name;
    std::optional<bool> includeExternal;
    std::optional<std::string> page;
    std::vector<std::pair<std::string, std::string>> names;
    Lines titles;  // positions 0, 1 and 2 afterwards
    std::optional<std::string> logLine;
    std::size_t fetches;
};
PRINT_CASE_BY_NAME(OpeningCase)

class MenuOpeningTest : public MenuTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(MenuOpeningTest, OpeningRetitlesTheInformationLinesAndRefreshes) {
    const auto& param = GetParam();
    if (param.includeExternal) {
        store(keys::kIncludeExternalIP, *param.includeExternal);
    }
    addresses_.answer({"10.0.0.5"});
    start();
    pages_.answer(param.page);
    names_ = param.names;
    const auto fetchesBefore = pages_.fetchedURLs().size();

    controller().menuNeedsUpdate();
    settle();

    EXPECT_EQ((Lines{itemAt(0).title, itemAt(1).title, itemAt(2).title}), param.titles);
    EXPECT_EQ(pages_.fetchedURLs().size() - fetchesBefore, param.fetches);
    if (param.logLine) {
        EXPECT_EQ(count(*param.logLine), 1);
    }
    EXPECT_EQ(log_.back(), refreshedLine("10.0.0.5"));
}

const std::string kPage = "<html><body>Current IP Address: 203.0.113.7</body></html>";
const OpeningCase kOpeningCases[] = {
    {"IncludeExternalIPAbsent",
     std::nullopt,
     kPage,
     {{"10.0.0.5", "studio.lan"}},
     {"studio.lan", "Include external IP is off", "External DNS name unavailable"},
     std::nullopt,
     0},
    {"ExternalNameFound",
     true,
     kPage,
     {{"203.0.113.7", "gw.example.net"}},
     {"DNS name unavailable", "203.0.113.7", "gw.example.net"},
     "External IP address:203.0.113.7 (gw.example.net)",
     1},
    {"LookupFails",
     true,
     std::nullopt,
     {},
     {"DNS name unavailable", "-.-.-.-", "External DNS name unavailable"},
     "External IP address:-.-.-.- (no name)",
     1},
};
INSTANTIATE_TEST_SUITE_P(Settings, MenuOpeningTest, ::testing::ValuesIn(kOpeningCases), CaseName());

TEST_F(MenuTest, CopyCommandsPutTheirTextOnTheClipboard) {
    store(keys::kIncludeExternalIP, true);
    store(keys::kIncludeMachineName, true);
    addresses_.answer({"10.0.0.5", "10.0.0.6"});
    names_ = {{"10.0.0.5", "studio.lan"}, {"203.0.113.7", "gw.example.net"}};
    pages_.answerAddress("203.0.113.7");
    start();
    controller().menuNeedsUpdate();
    settle();

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

TEST_F(MenuTest, AddressItemCopiesTheEntryNowAtItsPosition) {
    addresses_.answer({"10.0.0.5", "10.0.0.6", "10.0.0.7"});
    start();
    const controller::Menu built = item_.menu();
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
    refresh();
    controller().performAction(addressItem(0));
    EXPECT_EQ(desktop_.clipboard, Lines{"10.0.0.5"}) << "nothing from an empty list";

    addresses_.answer({"10.0.0.9", "10.0.0.5"});
    controller().menuNeedsUpdate();  // opening shows the addresses each item copies
    const Lines rows = Rows(item_.menu());
    EXPECT_EQ(Lines(rows.begin() + 10, rows.end() - 6),
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
