#include <thread>

#include "ControllerTest.h"

using controller::gAddresses;

namespace {

class StartUpTest : public ControllerTest {};

// The first refresh of two addresses, as start-up logs it twice.
const Lines kRefresh = {
    "Checking internal IP",
    "Internal IP address:192.168.1.10 (studio.lan)",
    "Current internal IP addresses found listed below:",
    "[1] 192.168.1.10",
    "[2] 10.0.0.2",
    "Last internal IP address: 192.168.1.10",
    "OrbalenStatus 9.8.7 refreshed. (192.168.1.10)",
};

TEST_F(StartUpTest, MonitoringOnLogsCheckThenTwoRefreshesThenTheCurrentAddresses) {
    store(keys::kEmailChangesToExternalIPAddress, true);
    store(keys::kLastIPAddress, std::string("192.168.1.10"));
    store(keys::kLastExternalIPAddress, std::string("203.0.113.7"));
    addresses_.answer({"192.168.1.10", "10.0.0.2"});
    names_ = {{"192.168.1.10", "studio.lan"}};
    pages_.answerAddress("203.0.113.7");

    controller().init();
    EXPECT_EQ(item_.title(), "192.168.1.10") << "shown before any answer";
    settle();

    Lines expected = {
        "Starting up...",
        "Checking external IP",
        "Loading external IP address...(from http://127.0.0.1:8080/ip)",
        "External ip = 203.0.113.7",
        "Current external IP address: 203.0.113.7",
        "Last external IP address: 203.0.113.7",
        "Next external IP address check in: 6 minutes (at 2026-12-07 00:06:00 +0000)",
    };
    for (int refresh = 0; refresh < 2; ++refresh) {
        expected.insert(expected.end(), kRefresh.begin(), kRefresh.end());
    }
    expected.insert(expected.end(), {
                                        "Copying external IP address...",
                                        "The current external IP address is:203.0.113.7",
                                        "The current (first) internal IP address is:192.168.1.10",
                                    });
    EXPECT_EQ(takeLog(), expected);
    EXPECT_TRUE(item_.highlight);
    EXPECT_EQ(item_.title(), "192.168.1.10");
    EXPECT_TRUE(addresses_.callback);
    ASSERT_FALSE(item_.menu.empty());
    EXPECT_EQ(item_.menu[0].title, "studio.lan") << "retitled when the answer came";
    EXPECT_EQ(gAddresses, (Lines{"192.168.1.10", "10.0.0.2"}));
}

TEST_F(StartUpTest, WithoutMonitoringOrAddressesOnlyRefreshesAndAFailedLookupAreLogged) {
    addresses_.answer({});
    addresses_.changeSourceStatus = netinfo::kAddressListGenericFailure;

    controller().init();
    settle();

    const std::string none = refreshedLine("-.-.-.-");
    EXPECT_EQ(takeLog(),
              (Lines{"Starting up...", "Checking internal IP", "No internal IP could not be found",
                     none, "Checking internal IP", "No internal IP could not be found", none,
                     "Loading external IP address...(from " + std::string(kLookupURL) + ")",
                     "The current external IP address is:-.-.-.-"}));
    EXPECT_FALSE(controller().monitorTimer());
    EXPECT_FALSE(addresses_.callback);
}

struct InitialRefreshCase {
    const char* name;
    std::optional<std::int64_t> stored;
    std::int64_t delaySeconds;
};
PRINT_CASE_BY_NAME(InitialRefreshCase)

class InitialRefreshTest : public StartUpTest,
                           public ::testing::WithParamInterface<InitialRefreshCase> {};

TEST_P(InitialRefreshTest, OneShotRefreshComesOnceAfterTheStoredDelay) {
    const auto& param = GetParam();
    if (param.stored) {
        store(keys::kInitialRefresh, *param.stored);
    }
    addresses_.answer({"192.168.1.10"});
    start();

    EXPECT_EQ(stored(keys::kInitialRefresh), settings::Value(param.stored.value_or(20)));
    loop_.advance(std::chrono::seconds(param.delaySeconds) - 1ms);
    EXPECT_EQ(count("Checking internal IP"), 0);
    loop_.advance(1ms);
    EXPECT_EQ(count("Checking internal IP"), param.delaySeconds < 3600 ? 1 : 0);
    const auto menus = item_.menusGiven;
    loop_.advance(2h);
    EXPECT_EQ(count("Checking internal IP"), param.delaySeconds < 3600 ? 1 : 0)
        << "once per launch";
    EXPECT_EQ(item_.menusGiven, menus) << "the one-shot refresh builds no menu";
}

const InitialRefreshCase kInitialRefreshCases[] = {
    {"MissingStores20", std::nullopt, 20},
    {"FiveHonoured", 5, 5},
    {"NegativeFiresAtOnce", -30, 0},
    // Its milliseconds do not fit 64 bits; wrapped, they would be negative.
    {"HugeDoesNotWrapToAnEarlyOne", 9'223'372'036'854'776, 3600},
};
INSTANTIATE_TEST_SUITE_P(Delays, InitialRefreshTest, ::testing::ValuesIn(kInitialRefreshCases),
                         CaseName());

struct SettingsSaveCase {
    const char* name;
    bool monitoring;
    std::int64_t minutes;
};
PRINT_CASE_BY_NAME(SettingsSaveCase)

class SettingsSaveTest : public StartUpTest,
                         public ::testing::WithParamInterface<SettingsSaveCase> {};

TEST_P(SettingsSaveTest, SetupRunsAgainWithTheStoredMonitorSettings) {
    store(keys::kEmailChangesToExternalIPAddress, true);
    addresses_.answer({"192.168.1.10"});
    pages_.answerAddress("203.0.113.7");
    start();
    const auto firstTimer = controller().monitorTimer();
    ASSERT_TRUE(firstTimer);
    loop_.advance(3min);

    store(keys::kEmailChangesToExternalIPAddress, GetParam().monitoring);
    store(keys::kMinutesInterval, GetParam().minutes);
    const auto menus = item_.menusGiven;
    center_.post(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);  // a save
    settle();

    const Lines afterSave = takeLog();
    EXPECT_GT(item_.menusGiven, menus) << "the menu is rebuilt";
    EXPECT_EQ(afterSave.back(), refreshedLine("192.168.1.10"));
    const long checks = std::ranges::count(afterSave, "Checking external IP");
    if (!GetParam().monitoring) {
        EXPECT_EQ(checks, 0);
        EXPECT_FALSE(controller().monitorTimer());
        loop_.advance(10h);
        EXPECT_EQ(count("Checking external IP"), 0) << "the old timer is gone";
        return;
    }
    EXPECT_EQ(checks, 1) << "a check at once";
    EXPECT_NE(controller().monitorTimer(), firstTimer);
    loop_.advance(std::chrono::minutes(GetParam().minutes) - 1s);
    EXPECT_EQ(count("Checking external IP"), 0) << "the old timer is gone";
    loop_.advance(1s);
    EXPECT_EQ(count("Checking external IP"), 1);
}

const SettingsSaveCase kSettingsSaveCases[] = {
    {"MonitoringOnLongerInterval", true, 10},
    {"MonitoringOff", false, 10},
    {"MonitoringOnSameInterval", true, 6},
};
INSTANTIATE_TEST_SUITE_P(Saves, SettingsSaveTest, ::testing::ValuesIn(kSettingsSaveCases),
                         CaseName());

TEST_F(StartUpTest, SaveFromAnotherThreadRunsOnTheLoopWhileTheControllerLasts) {
    addresses_.answer({"192.168.1.10"});
    start();
    const auto post = [this] {
        std::thread([this] {
            center_.post(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);
        }).join();
    };
    post();
    EXPECT_EQ(count("Checking internal IP"), 0) << "nothing runs on the poster's thread";
    settle();
    EXPECT_EQ(count("Checking internal IP"), 1);
    post();
    controller_.reset();
    settle();
    EXPECT_EQ(count("Checking internal IP"), 1) << "dropped once the controller is gone";
}

}  // namespace
