#include <thread>

#include "ControllerTest.h"

namespace {

class StartUpTest : public ControllerTest {};

// Each block's own lines are compared in full where that block is tested.
TEST_F(StartUpTest, MonitoringOnLogsCheckThenTwoRefreshesThenTheCurrentAddresses) {
    store({{keys::kEmailChangesToExternalIPAddress, true},
           {keys::kLastIPAddress, "10.0.0.5"s},
           {keys::kLastExternalIPAddress, "203.0.113.7"s}});
    answer({"10.0.0.5", "10.0.0.2"});
    names_ = {{"10.0.0.5", "studio.lan"}};

    controller().init();
    settle();

    const std::string refreshed = refreshedLine("10.0.0.5");
    EXPECT_TRUE(
        inOrder({"Starting up...", "Checking external IP",
                 "Next external IP address check in: 6 minutes (at 2026-12-07 00:06:00 "
                 "+0000)",
                 "Checking internal IP", refreshed, "Checking internal IP", refreshed,
                 "Copying external IP address...", "The current external IP address is:203.0.113.7",
                 "The current (first) internal IP address is:10.0.0.5"}));
    EXPECT_EQ(count(refreshed), 2);
    EXPECT_EQ(count("Checking external IP"), 1);
    EXPECT_TRUE(notify_) << "the change source is installed";
    EXPECT_EQ(item_.menu.at(0).title, "studio.lan") << "retitled when the answer came";
}

TEST_F(StartUpTest, WithoutMonitoringOrAddressesOnlyRefreshesAndAFailedLookupAreLogged) {
    answer({});
    pages_[""].reset();
    changeSourceStatus_ = netinfo::kAddressListGenericFailure;

    controller().init();
    settle();

    const std::string none = refreshedLine("-.-.-.-");
    EXPECT_EQ(takeLog(),
              (Lines{"Starting up...", "Checking internal IP", "No internal IP could not be found",
                     none, "Checking internal IP", "No internal IP could not be found", none,
                     "Loading external IP address...(from " + std::string(kLookupURL) + ")",
                     "The current external IP address is:-.-.-.-"}));
    EXPECT_FALSE(controller().monitorTimer());
    EXPECT_FALSE(notify_);
}

struct InitialRefreshCase {
    const char* name;
    std::optional<settings::Value> stored;
    std::int64_t delaySeconds;
};
PRINT_CASE_BY_NAME(InitialRefreshCase)

class InitialRefreshTest : public StartUpTest,
                           public ::testing::WithParamInterface<InitialRefreshCase> {};

TEST_P(InitialRefreshTest, OneShotRefreshComesOnceAfterTheStoredDelay) {
    const auto& param = GetParam();
    store({{keys::kInitialRefresh, param.stored}});
    start();

    EXPECT_EQ(stored(keys::kInitialRefresh), param.stored.value_or(std::int64_t{20}));
    loop_.advance(std::chrono::seconds(param.delaySeconds) - 1ms);
    EXPECT_EQ(count("Checking internal IP"), 0);
    loop_.advance(1ms);
    const long once = param.delaySeconds < 3600 ? 1 : 0;
    EXPECT_EQ(count("Checking internal IP"), once);
    const auto menus = item_.menusGiven;
    loop_.advance(2h);
    EXPECT_EQ(count("Checking internal IP"), once) << "once per launch";
    EXPECT_EQ(item_.menusGiven, menus) << "the one-shot refresh builds no menu";
}

const InitialRefreshCase kInitialRefreshCases[] = {
    {"MissingStores20", std::nullopt, 20},
    {"FiveHonoured", std::int64_t{5}, 5},
    {"NegativeFiresAtOnce", std::int64_t{-30}, 0},
    // Its milliseconds do not fit 64 bits; wrapped, they would be negative.
    {"HugeDoesNotWrapToAnEarlyOne", std::int64_t{9'223'372'036'854'776}, 3600},
};
INSTANTIATE_TEST_SUITE_P(Delays, InitialRefreshTest, ::testing::ValuesIn(kInitialRefreshCases),
                         CaseName());

// A save sets the monitor up again from the stored settings: the old timer
// goes, a check runs at once and the new interval counts from the save.
TEST_F(StartUpTest, SaveSetsTheMonitorUpAgainFromTheStoredSettings) {
    store({{keys::kEmailChangesToExternalIPAddress, true}});
    start();
    const auto save = [this](bool monitoring) {
        store({{keys::kEmailChangesToExternalIPAddress, monitoring},
               {keys::kMinutesInterval, std::int64_t{10}}});
        const auto menus = item_.menusGiven;
        log_.clear();
        center_.post(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);
        settle();
        EXPECT_GT(item_.menusGiven, menus) << "the menu is rebuilt";
        EXPECT_EQ(log_.back(), refreshedLine("10.0.0.5"));
        return std::ranges::count(takeLog(), "Checking external IP");
    };
    loop_.advance(3min);
    EXPECT_EQ(save(true), 1) << "a check at once";
    loop_.advance(10min - 1s);
    EXPECT_EQ(count("Checking external IP"), 0) << "the old timer is gone";
    loop_.advance(1s);
    EXPECT_EQ(count("Checking external IP"), 1);

    EXPECT_EQ(save(false), 0);
    EXPECT_FALSE(controller().monitorTimer());
    loop_.advance(10h);
    EXPECT_EQ(count("Checking external IP"), 0) << "no timer is left";
}

TEST_F(StartUpTest, SaveFromAnotherThreadRunsOnTheLoopWhileTheControllerLasts) {
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
