#include "ControllerTest.h"

using controller::gAddresses;
using controller::gWirelessNetwork;
using netinfo::AddressList;

namespace {

using RefreshCycleTest = ControllerTest;

// How the stored first address moves from run to run; a change is logged and
// mailed from the old one ("(null)" when none is stored as text).
TEST_F(RefreshCycleTest, FirstAddressChangeIsStoredLoggedAndMailed) {
    const struct {
        std::optional<settings::Value> before;
        AddressList found;
        std::optional<settings::Value> after;
        const char* changedFrom;  // none: no change
    } cases[] = {
        {std::nullopt, {"10.0.0.5"}, "10.0.0.5"s, "(null)"},
        {std::int64_t{17}, {"10.0.0.5"}, "10.0.0.5"s, "(null)"},
        {"10.0.0.5"s, {"10.0.0.5", "10.0.0.9"}, "10.0.0.5"s, nullptr},
        {"FE80-A"s, {"fe80-a"}, "FE80-A"s, nullptr},  // the letter case alone differs
        {"10.0.0.5"s, {"10.0.0.6"}, "10.0.0.6"s, "10.0.0.5"},
        {"10.0.0.5"s, {}, "-.-.-.-"s, nullptr},
        {"-.-.-.-"s, {"10.0.0.5"}, "10.0.0.5"s, "-.-.-.-"},
    };
    for (const auto& c : cases) {
        store({{keys::kLastIPAddress, c.before}});
        answer(c.found);
        controller_.reset();  // each with a fresh mail allowance
        alerts_.clear();
        log_.clear();
        controller::gLastInternalChange.reset();
        refresh();
        EXPECT_EQ(stored(keys::kLastIPAddress), c.after);
        EXPECT_EQ(controller::gLastInternalChange.has_value(), c.changedFrom != nullptr);
        Lines changes = mailed();
        std::ranges::copy_if(log_, std::back_inserter(changes),
                             [](const std::string& line) { return line.starts_with("(First)"); });
        EXPECT_EQ(changes, !c.changedFrom ? Lines{}
                                          : (Lines{c.changedFrom + ">"s + c.found[0],
                                                   "(First) Internal IP address changed from:"s +
                                                       c.changedFrom + " to:" + c.found[0]}));
    }
}

TEST_F(RefreshCycleTest, ChangeFromAToBWithTwoAddressesLogsInOrder) {
    store({{keys::kLastIPAddress, "10.0.0.5"s}, {keys::kIncludeCurrentWirelessNetwork, true}});
    gWirelessNetwork = "HomeNet";
    answer({"10.0.0.6", "10.0.0.7"});
    names_ = {{"10.0.0.6", "b.lan"}};

    refresh();

    EXPECT_EQ(takeLog(), (Lines{"Checking internal IP", "Internal IP address:10.0.0.6 (b.lan)",
                                "Current internal IP addresses found listed below:", "[1] 10.0.0.6",
                                "[2] 10.0.0.7", "Wireless network: HomeNet",
                                "Last internal IP address: 10.0.0.5",
                                "(First) Internal IP address changed from:10.0.0.5 to:10.0.0.6",
                                "Sending email alerts", "sender started for: ops@example.org",
                                refreshedLine("10.0.0.6")}));
    EXPECT_EQ(item_.title(), "10.0.0.6:HomeNet") << "the cached name serves";
    EXPECT_EQ(desktop_.requests, Lines{}) << "no desktop notice unless asked for";
}

// Without a recipients setting the alert is logged and no mail started; a
// list that cannot be read changes nothing; an empty one says so.
TEST_F(RefreshCycleTest, NoRecipientsStartsNoMailAndAnUnreadableListChangesNothing) {
    store({{keys::kEmail, std::nullopt}});
    answer({"10.0.0.5", "10.0.0.9"});
    refresh();
    EXPECT_EQ(count("Sending email alerts"), 1);
    EXPECT_TRUE(alerts_.empty());
    addresses_.reset();
    log_.clear();

    refresh();

    EXPECT_EQ(takeLog(), (Lines{"Checking internal IP", refreshedLine("-.-.-.-")}));
    EXPECT_EQ(item_.title(), "10.0.0.5");
    EXPECT_EQ(gAddresses, (Lines{"10.0.0.5", "10.0.0.9"}));
    EXPECT_EQ(stored(keys::kLastIPAddress), settings::Value("10.0.0.5"s));
    answer({});
    refresh();
    EXPECT_EQ(takeLog(), (Lines{"Checking internal IP", "No internal IP could not be found",
                                refreshedLine("-.-.-.-")}));
}

const std::optional<std::string> kSmall = "OrbalenStatusSmall.tif";
const std::optional<std::string> kChange = "OrbalenStatusChange.tif";

// What the item shows after a refresh, a change notice (even for the same
// address) and the next refresh; a notice renews the wireless name if shown.
TEST_F(RefreshCycleTest, TitleAndIconFollowTheSettingsAndChangeNotices) {
    const struct {
        bool iconOnly, machine, wireless, changeIcon;  // the settings
        std::optional<std::string> machineName;
        const char* first;  // "": no address
        const char* title;
    } cases[] = {
        {false, false, false, true, "Studio", "10.0.0.5", "10.0.0.5"},
        {false, true, false, true, std::nullopt, "10.0.0.5", "10.0.0.5"},
        {false, true, true, false, "Studio", "10.0.0.5", "10.0.0.5:Studio:?"},
        {false, false, true, true, "Studio", "10.0.0.5", "10.0.0.5:?"},
        {true, true, true, true, "Studio", "10.0.0.5", ""},
        {true, true, false, false, "Studio", "", "-.-.-.-:Studio"},
    };
    start();
    for (const auto& c : cases) {
        store({{keys::kTitleIconOnly, c.iconOnly},
               {keys::kIncludeMachineName, c.machine},
               {keys::kIncludeCurrentWirelessNetwork, c.wireless},
               {keys::kDisplayChangedIcon, c.changeIcon}});
        machineName_ = c.machineName;
        wirelessName_.reset();
        gWirelessNetwork.reset();
        item_.setImage(kChange);
        answer(*c.first ? AddressList{c.first} : AddressList{});
        refresh();
        const auto image = *c.title ? std::nullopt : kSmall;
        EXPECT_EQ(item_.title(), c.title);
        EXPECT_EQ(item_.image, image) << c.title;
        EXPECT_EQ(gWirelessNetwork, c.wireless && *c.title ? std::optional("?"s) : std::nullopt);
        wirelessName_ = "Office";
        notice();
        EXPECT_EQ(item_.image, c.changeIcon ? kChange : image) << c.title;
        EXPECT_EQ(gWirelessNetwork, c.wireless ? std::optional("Office"s) : std::nullopt);
        controller().menuNeedsUpdate();
        settle();
        EXPECT_EQ(item_.image, image) << "the next refresh takes the change icon away";
    }
}

}  // namespace
