#include <thread>

#include "ControllerTest.h"

namespace {

using StartUpTest = ControllerTest;

// Once per launch, after the stored delay.
TEST_F(StartUpTest, OneShotRefreshComesOnceAfterTheStoredDelay) {
    const std::pair<std::optional<settings::Value>, std::int64_t> cases[] = {
        {std::nullopt, 20},  // and 20 is stored
        {std::int64_t{5}, 5},
        {std::int64_t{-30}, 0},
        // Its milliseconds do not fit 64 bits; wrapped, they would be negative.
        {std::int64_t{9'223'372'036'854'776}, 3600},
    };
    for (const auto& [setting, delay] : cases) {
        store({{keys::kInitialRefresh, setting}});
        controller_.reset();
        start();
        EXPECT_EQ(stored(keys::kInitialRefresh), setting.value_or(std::int64_t{20}));
        loop_.advance(std::chrono::seconds(delay) - 1ms);
        EXPECT_EQ(count("Checking internal IP"), 0) << delay;
        loop_.advance(1ms);
        const long once = delay < 3600 ? 1 : 0;
        EXPECT_EQ(count("Checking internal IP"), once) << delay;
        loop_.advance(2h);
        EXPECT_EQ(count("Checking internal IP"), once) << delay;
    }
}

// Without kernel change notices the program still starts and refreshes on its timers.
TEST_F(StartUpTest, CarriesOnWhenNoChangeSourceCanBeMade) {
    services_.createIPAddressListChangeCallback = [](auto&, auto, void*, auto*, auto*) {
        return netinfo::kAddressListGenericFailure;
    };
    start();
    loop_.advance(20s);
    settle();
    EXPECT_EQ(count("Checking internal IP"), 1);
    EXPECT_EQ(log_.back(), refreshedLine("10.0.0.5"));
}

// A save posted from another thread runs on the controller's loop while it
// lasts, and sets the monitor up again: a check at once, the new interval.
TEST_F(StartUpTest, SaveSetsTheMonitorUpAgainOnTheControllersLoop) {
    store({{keys::kEmailChangesToExternalIPAddress, true}});
    start();
    const auto post = [this] {
        std::thread([this] {
            center_.post(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);
        }).join();
    };
    const auto save = [&](bool monitoring) {
        store({{keys::kEmailChangesToExternalIPAddress, monitoring},
               {keys::kMinutesInterval, std::int64_t{10}}});
        const auto menus = item_.menusGiven;
        log_.clear();
        post();
        EXPECT_TRUE(log_.empty()) << "nothing runs on the poster's thread";
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
    post();
    controller_.reset();
    settle();
    EXPECT_EQ(count("Checking internal IP"), 0) << "dropped once the controller is gone";
}

}  // namespace
