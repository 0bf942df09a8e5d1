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
    for (const auto& alert : mail_.alerts()) {
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
    ASSERT_EQ(mail_.alerts().size(), 1u);
    EXPECT_EQ(mail_.alerts()[0].message,
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

TEST_F(RefreshCycleTest, RecipientsAreSplitAtEveryCommaUntrimmed) {
    const std::pair<std::optional<std::string>, Lines> cases[] = {
        {"a@example.org, b@example.org,", {"a@example.org", " b@example.org", ""}},
        {"", {""}},
        {std::nullopt, {}},
    };
    addresses_.answer({"10.0.0.5"});
    for (const auto& [email, recipients] : cases) {
        email ? store(keys::kEmail, *email) : remove(keys::kEmail);
        remove(keys::kLastIPAddress);
        const auto before = mail_.alerts().size();
        log_.clear();

        refresh();

        Lines sentTo;
        for (auto i = before; i < mail_.alerts().size(); ++i) {
            sentTo.push_back(mail_.alerts()[i].recipient);
        }
        EXPECT_EQ(sentTo, recipients) << email.value_or("(missing)");
        EXPECT_EQ(count("Sending email alerts"), 1);
    }
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

}  // namespace
