#include "ControllerTest.h"

using controller::gAddresses;
using controller::gWirelessNetwork;
using netinfo::AddressList;

namespace {

class RefreshCycleTest : public ControllerTest {};

// How the stored first address moves from run to run.
struct StoredAddressCase {
    const char* name;
    std::optional<settings::Value> before;
    AddressList found;
    std::optional<settings::Value> after;
    const char* changedFrom;  // the old address the change is logged and mailed with
};
PRINT_CASE_BY_NAME(StoredAddressCase)

class StoredAddressTest : public RefreshCycleTest,
                          public ::testing::WithParamInterface<StoredAddressCase> {};

TEST_P(StoredAddressTest, FirstAddressChangeIsStoredLoggedAndMailed) {
    const auto& param = GetParam();
    store({{keys::kLastIPAddress, param.before}});
    answer(param.found);

    refresh();

    EXPECT_EQ(stored(keys::kLastIPAddress), param.after);
    Lines changes;
    std::ranges::copy_if(log_, std::back_inserter(changes),
                         [](const std::string& line) { return line.starts_with("(First)"); });
    for (const auto& alert : alerts_) {
        changes.push_back("mailed from " + alert.oldAddress.value_or("(null)"));
    }
    if (!param.changedFrom) {
        EXPECT_EQ(changes, Lines{});
        return;
    }
    EXPECT_EQ(changes, (Lines{"(First) Internal IP address changed from:"s + param.changedFrom +
                                  " to:" + param.found[0],
                              "mailed from "s + param.changedFrom}));
}

const StoredAddressCase kStoredAddressCases[] = {
    {"NothingStored", std::nullopt, {"10.0.0.5"}, "10.0.0.5"s, "(null)"},
    {"StoredValueNotAText", std::int64_t{17}, {"10.0.0.5"}, "10.0.0.5"s, "(null)"},
    {"SameAddress", "10.0.0.5"s, {"10.0.0.5", "10.0.0.9"}, "10.0.0.5"s, nullptr},
    {"OnlyLetterCaseDiffers", "FE80-A"s, {"fe80-a"}, "FE80-A"s, nullptr},
    {"AddressChanged", "10.0.0.5"s, {"10.0.0.6"}, "10.0.0.6"s, "10.0.0.5"},
    {"NoAddressStoresPlaceholder", "10.0.0.5"s, {}, "-.-.-.-"s, nullptr},
    {"BackFromPlaceholder", "-.-.-.-"s, {"10.0.0.5"}, "10.0.0.5"s, "-.-.-.-"},
};
INSTANTIATE_TEST_SUITE_P(StateTable, StoredAddressTest, ::testing::ValuesIn(kStoredAddressCases),
                         CaseName());

TEST_F(RefreshCycleTest, ChangeFromAToBWithTwoAddressesLogsInOrder) {
    store({{keys::kLastIPAddress, "10.0.0.5"s}, {keys::kIncludeCurrentWirelessNetwork, true}});
    gWirelessNetwork = "HomeNet";
    answer({"10.0.0.6", "10.0.0.7"});
    names_ = {{"10.0.0.6", "b.lan"}};

    refresh();

    EXPECT_EQ(takeLog(), (Lines{
                             "Checking internal IP",
                             "Internal IP address:10.0.0.6 (b.lan)",
                             "Current internal IP addresses found listed below:",
                             "[1] 10.0.0.6",
                             "[2] 10.0.0.7",
                             "Wireless network: HomeNet",
                             "Last internal IP address: 10.0.0.5",
                             "(First) Internal IP address changed from:10.0.0.5 to:10.0.0.6",
                             "Sending email alerts",
                             "sender started for: ops@example.org",
                             refreshedLine("10.0.0.6"),
                         }));
    EXPECT_EQ(wirelessLookups_, 0) << "the cached name serves";
    EXPECT_EQ(alerts_.at(0).message,
              "OrbalenStatus has refreshed. The IP address of machine \"%@\" has changed from: %@ "
              "to %@");
    EXPECT_EQ(desktop_.states.back().addresses, (Lines{"10.0.0.6", "10.0.0.7"}));
    EXPECT_EQ(desktop_.requests, Lines{}) << "no desktop notice unless asked for";
}

// Without a recipients setting the alert is logged and no mail started; a
// list that cannot be read then changes nothing but logs the placeholder.
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
}

struct TitleCase {
    const char* name;
    bool iconOnly, machine, wireless;  // the settings
    std::optional<std::string> machineName, wirelessName;
    const char* first;  // "": no address
    const char* title;
};
PRINT_CASE_BY_NAME(TitleCase)

class TitleTest : public ControllerTest, public ::testing::WithParamInterface<TitleCase> {};

const std::optional<std::string> kSmall = "OrbalenStatusSmall.tif";
const std::optional<std::string> kChange = "OrbalenStatusChange.tif";

TEST_P(TitleTest, TitleJoinsTheSelectedPartsWithColons) {
    const auto& param = GetParam();
    store({{keys::kTitleIconOnly, param.iconOnly},
           {keys::kIncludeMachineName, param.machine},
           {keys::kIncludeCurrentWirelessNetwork, param.wireless}});
    machineName_ = param.machineName;
    wirelessName_ = param.wirelessName;
    item_.setImage(kChange);
    answer(*param.first ? AddressList{param.first} : AddressList{});

    refresh();

    const bool text = *param.title;
    const int lookups = param.wireless && text ? 1 : 0;
    EXPECT_EQ(item_.title(), param.title);
    EXPECT_EQ(item_.image, text ? std::nullopt : kSmall);
    EXPECT_EQ(wirelessLookups_, lookups);
    EXPECT_EQ(count("Wireless network: " + param.wirelessName.value_or("?")), lookups);
}

const TitleCase kTitleCases[] = {
    {"BareAddress", false, false, false, "Studio", "HomeNet", "10.0.0.5", "10.0.0.5"},
    {"NoMachineName", false, true, false, std::nullopt, "HomeNet", "10.0.0.5", "10.0.0.5"},
    {"WirelessName", false, false, true, "Studio", "HomeNet", "10.0.0.5", "10.0.0.5:HomeNet"},
    {"BothNoWireless", false, true, true, "Studio", std::nullopt, "10.0.0.5", "10.0.0.5:Studio:?"},
    {"IconOnlyLooksNothingUp", true, true, true, "Studio", "HomeNet", "10.0.0.5", ""},
    {"NoAddressAsTextInIconOnly", true, true, false, "Studio", "HomeNet", "", "-.-.-.-:Studio"},
};
INSTANTIATE_TEST_SUITE_P(Settings, TitleTest, ::testing::ValuesIn(kTitleCases), CaseName());

// A change notice shows the change icon (even for the same first address)
// until the menu opens and refreshes, and renews the wireless network's
// name only while the title shows it.
TEST_F(RefreshCycleTest, ChangeNoticeShowsTheChangeIconAndRenewsTheWirelessName) {
    struct {
        bool iconOnly, changeIcon, wireless;  // the settings
        const char* title;
        std::optional<std::string> imageAfterNotice, imageAfterMenuOpens;
    } const cases[] = {
        {false, true, false, "10.0.0.5", kChange, std::nullopt},
        {true, true, false, "", kChange, kSmall},
        {false, false, true, "10.0.0.5:Office", std::nullopt, std::nullopt},
    };
    start();
    wirelessName_ = "Office";
    for (const auto& c : cases) {
        store({{keys::kTitleIconOnly, c.iconOnly},
               {keys::kDisplayChangedIcon, c.changeIcon},
               {keys::kIncludeCurrentWirelessNetwork, c.wireless}});
        notice();
        EXPECT_EQ(wirelessLookups_, c.wireless ? 1 : 0);
        EXPECT_EQ(item_.image, c.imageAfterNotice) << c.title;
        controller().menuNeedsUpdate();
        settle();
        EXPECT_EQ(item_.title(), c.title);
        EXPECT_EQ(item_.image, c.imageAfterMenuOpens) << c.title;
    }
    wirelessName_.reset();
    notice();
    EXPECT_EQ(wirelessLookups_, 2);
    EXPECT_EQ(item_.title(), "10.0.0.5:?");
}

}  // namespace
