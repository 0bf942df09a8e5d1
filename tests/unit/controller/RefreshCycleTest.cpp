#include "ControllerTest.h"

using controller::gAddresses;
using controller::gWirelessNetwork;
using netinfo::AddressList;

namespace {

class RefreshCycleTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        store(keys::kSendEmailNotifications, true);
        store(keys::kEmail, std::string("ops@example.org"));
    }
};

// How the stored first address moves from run to run.
struct StoredAddressCase {
    const char* name;
    std::optional<settings::Value> before;
    std::optional<AddressList> found;  // none: the list cannot be read
    std::optional<settings::Value> after;
    std::optional<std::string> reportedFrom;  // the change line's old text; none: no change
};
PRINT_CASE_BY_NAME(StoredAddressCase)

class StoredAddressTest : public RefreshCycleTest,
                          public ::testing::WithParamInterface<StoredAddressCase> {};

TEST_P(StoredAddressTest, FirstAddressChangeIsStoredLoggedAndMailed) {
    const auto& param = GetParam();
    if (param.before) {
        store(keys::kLastIPAddress, *param.before);
    }
    param.found ? addresses_.answer(*param.found) : addresses_.failReads();

    refresh();

    EXPECT_EQ(stored(keys::kLastIPAddress), param.after);
    Lines changes, mailed;
    std::ranges::copy_if(log_, std::back_inserter(changes), [](const std::string& line) {
        return line.starts_with("(First) Internal IP address changed from:");
    });
    for (const auto& alert : alerts_) {
        mailed.push_back(alert.oldAddress.value_or("none") + ">" + alert.newAddress);
    }
    if (!param.reportedFrom) {
        EXPECT_EQ(changes, Lines{});
        EXPECT_EQ(mailed, Lines{});
        return;
    }
    const std::string first = param.found->front();
    EXPECT_EQ(changes, Lines{"(First) Internal IP address changed from:" + *param.reportedFrom +
                             " to:" + first});
    const auto* oldText = param.before ? std::get_if<std::string>(&*param.before) : nullptr;
    EXPECT_EQ(mailed, Lines{(oldText ? *oldText : "none") + ">" + first});
}

const StoredAddressCase kStoredAddressCases[] = {
    {"NothingStored", std::nullopt, AddressList{"10.0.0.5"}, "10.0.0.5"s, "(null)"},
    {"StoredValueNotAText", std::int64_t{17}, AddressList{"10.0.0.5"}, "10.0.0.5"s, "(null)"},
    {"SameAddress", "10.0.0.5"s, AddressList{"10.0.0.5", "10.0.0.9"}, "10.0.0.5"s, std::nullopt},
    {"OnlyLetterCaseDiffers", "FE80-A"s, AddressList{"fe80-a"}, "FE80-A"s, std::nullopt},
    {"AddressChanged", "10.0.0.5"s, AddressList{"10.0.0.6"}, "10.0.0.6"s, "10.0.0.5"},
    {"NoAddressStoresPlaceholder", "10.0.0.5"s, AddressList{}, "-.-.-.-"s, std::nullopt},
    {"BackFromPlaceholder", "-.-.-.-"s, AddressList{"10.0.0.5"}, "10.0.0.5"s, "-.-.-.-"},
    {"UnreadableListChangesNothing", "10.0.0.5"s, std::nullopt, "10.0.0.5"s, std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(StateTable, StoredAddressTest, ::testing::ValuesIn(kStoredAddressCases),
                         CaseName());

TEST_F(RefreshCycleTest, ChangeFromAToBWithTwoAddressesLogsInOrder) {
    store(keys::kLastIPAddress, std::string("10.0.0.5"));
    store(keys::kIncludeCurrentWirelessNetwork, true);
    gWirelessNetwork = "HomeNet";
    addresses_.answer({"10.0.0.6", "10.0.0.7"});
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
    EXPECT_EQ(item_.title(), "10.0.0.6:HomeNet");
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].message,
              "OrbalenStatus has refreshed. The IP address of machine \"%@\" has changed from: %@ "
              "to %@");
    EXPECT_EQ(desktop_.states.back().addresses, (Lines{"10.0.0.6", "10.0.0.7"}));
}

TEST_F(RefreshCycleTest, UnreadableListKeepsTitleAndAddressesButLogsThePlaceholder) {
    addresses_.answer({"10.0.0.5", "10.0.0.9"});
    refresh();
    EXPECT_EQ(log_.at(1), "Internal IP address:10.0.0.5 (no name)");
    addresses_.failReads();
    log_.clear();

    refresh();

    EXPECT_EQ(takeLog(), (Lines{"Checking internal IP", refreshedLine("-.-.-.-")}));
    EXPECT_EQ(item_.title(), "10.0.0.5");
    EXPECT_EQ(gAddresses, (Lines{"10.0.0.5", "10.0.0.9"}));
}

// Without a recipients setting the alert is logged and no mail started.
TEST_F(RefreshCycleTest, NoRecipientsSettingStartsNoMail) {
    remove(keys::kEmail);
    addresses_.answer({"10.0.0.5"});
    refresh();
    EXPECT_EQ(count("Sending email alerts"), 1);
    EXPECT_TRUE(alerts_.empty());
}

TEST_F(RefreshCycleTest, ChangeNoticeRenewsTheWirelessNameOnlyWhileItIsShown) {
    addresses_.answer({"10.0.0.5"});
    start();
    wirelessName_ = "Office";
    addresses_.notify();
    EXPECT_EQ(wirelessLookups_, 0);
    EXPECT_FALSE(gWirelessNetwork);

    store(keys::kIncludeCurrentWirelessNetwork, true);
    addresses_.notify();
    EXPECT_EQ(gWirelessNetwork, "Office");
    wirelessName_.reset();
    addresses_.notify();
    settle();
    EXPECT_EQ(gWirelessNetwork, "?");
    EXPECT_EQ(wirelessLookups_, 2);
    EXPECT_EQ(item_.title(), "10.0.0.5:?");
    EXPECT_EQ(count("Checking internal IP"), 3) << "each notice refreshes";
}

class TitleTest : public ControllerTest {};

struct TitleCase {
    const char* name;
    bool withIcon;
    bool machineSetting;
    bool wirelessSetting;
    std::optional<std::string> machineName;
    std::optional<std::string> wirelessName;
    const char* title;
    std::optional<std::string> image;
    int wirelessLookups;
};
PRINT_CASE_BY_NAME(TitleCase)

class TitleTableTest : public TitleTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(TitleTableTest, TitleJoinsTheSelectedPartsWithColons) {
    const auto& param = GetParam();
    store(keys::kIncludeMachineName, param.machineSetting);
    store(keys::kIncludeCurrentWirelessNetwork, param.wirelessSetting);
    machineName_ = param.machineName;
    wirelessName_ = param.wirelessName;
    item_.setImage("OrbalenStatusChange.tif");

    controller().setTitle("10.0.0.5", param.withIcon);

    EXPECT_EQ(item_.title(), param.title);
    EXPECT_EQ(item_.image, param.image);
    EXPECT_EQ(wirelessLookups_, param.wirelessLookups);
    EXPECT_EQ(count("Wireless network: " + param.wirelessName.value_or("?")),
              param.wirelessLookups);
}

const std::optional<std::string> kSmall = "OrbalenStatusSmall.tif";
const TitleCase kTitleCases[] = {
    {"BareAddress", false, false, false, "Studio", "HomeNet", "10.0.0.5", std::nullopt, 0},
    {"MachineName", false, true, false, "Studio", "HomeNet", "10.0.0.5:Studio", std::nullopt, 0},
    {"MachineNameUnavailable", false, true, false, std::nullopt, "HomeNet", "10.0.0.5",
     std::nullopt, 0},
    {"WirelessName", false, false, true, "Studio", "HomeNet", "10.0.0.5:HomeNet", std::nullopt, 1},
    {"BothWithoutWirelessNetwork", false, true, true, "Studio", std::nullopt, "10.0.0.5:Studio:?",
     std::nullopt, 1},
    {"IconOnlyLooksNothingUp", true, true, true, "Studio", "HomeNet", "", kSmall, 0},
};
INSTANTIATE_TEST_SUITE_P(Settings, TitleTableTest, ::testing::ValuesIn(kTitleCases), CaseName());

TEST_F(TitleTest, NoAddressShowsThePlaceholderTextEvenInIconOnlyMode) {
    store(keys::kTitleIconOnly, true);
    store(keys::kIncludeMachineName, true);
    addresses_.answer({});
    refresh();
    EXPECT_EQ(item_.title(), "-.-.-.-:Studio");
    EXPECT_EQ(item_.image, std::nullopt);
}

// When the change icon shows, and what takes it away again.
struct ChangeIconCase {
    const char* name;
    bool iconOnly;
    bool changeIconSetting;
    const char* titleAfterNotice;
    std::optional<std::string> imageAfterNotice;
    const char* titleAfterMenuOpens;
    std::optional<std::string> imageAfterMenuOpens;
};
PRINT_CASE_BY_NAME(ChangeIconCase)

class ChangeIconTest : public TitleTest, public ::testing::WithParamInterface<ChangeIconCase> {};

TEST_P(ChangeIconTest, ChangeNoticeShowsItUntilTheNextRefresh) {
    const auto& param = GetParam();
    store(keys::kTitleIconOnly, param.iconOnly);
    store(keys::kDisplayChangedIcon, param.changeIconSetting);
    addresses_.answer({"10.0.0.5"});
    start();

    addresses_.notify();  // the same first address: the icon shows all the same
    EXPECT_EQ(item_.title(), param.titleAfterNotice);
    EXPECT_EQ(item_.image, param.imageAfterNotice);

    controller().menuNeedsUpdate();
    settle();
    EXPECT_EQ(item_.title(), param.titleAfterMenuOpens);
    EXPECT_EQ(item_.image, param.imageAfterMenuOpens);
}

const std::optional<std::string> kChange = "OrbalenStatusChange.tif";
const ChangeIconCase kChangeIconCases[] = {
    {"TextModeBesideTheAddress", false, true, "10.0.0.5", kChange, "10.0.0.5", std::nullopt},
    {"IconOnlyReplacesTheSmallIcon", true, true, "", kChange, "", kSmall},
    {"SettingOff", false, false, "10.0.0.5", std::nullopt, "10.0.0.5", std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Modes, ChangeIconTest, ::testing::ValuesIn(kChangeIconCases), CaseName());

}  // namespace
