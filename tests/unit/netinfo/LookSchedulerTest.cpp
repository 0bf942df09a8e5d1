// When the address list is looked at again after kernel events, on a
// virtual clock.
#include <chrono>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/LookScheduler.h"
#include "platform/ManualRunLoop.h"

namespace {

using namespace std::chrono_literals;
using Times = std::vector<long>;  // ms after the start

// Records when each look ran; the next `failures` looks fail.
struct Looks {
    bool look() {
        times.push_back((loop.now() - start) / 1ms);
        return failures-- <= 0;
    }

    platform::ManualRunLoop loop;
    const platform::RunLoop::TimePoint start = loop.now();
    int failures = 0;
    Times times;
    netinfo::LookScheduler scheduler{loop, [this] { return look(); }};
};

TEST(LookScheduler, BurstsSettleAndFailedLooksAreRetriedWithGrowingPauses) {
    Looks looks;
    looks.failures = 10;
    looks.scheduler.eventArrived();
    looks.loop.advance(10ms);
    looks.scheduler.eventArrived();  // joins the pending look
    looks.loop.advance(1h);          // then the retries run out
    EXPECT_EQ(looks.times, (Times{20, 1020, 3020, 7020, 15020, 31020, 63020}));

    // The next event starts afresh; a retry that succeeds ends the series.
    looks.times.clear();
    looks.failures = 1;
    looks.scheduler.eventArrived();
    looks.loop.advance(1h);
    EXPECT_EQ(looks.times, (Times{3'600'030, 3'601'030}));
}

TEST(LookScheduler, EventDuringTheRetryPauseLooksSoonAndStartsTheBackOffAgain) {
    Looks looks;
    looks.failures = 3;
    looks.scheduler.eventArrived();
    looks.loop.advance(2000ms);  // failed at 20 and 1020, next retry due at 3020
    looks.scheduler.eventArrived();
    looks.loop.advance(1h);
    EXPECT_EQ(looks.times, (Times{20, 1020, 2020, 3020}));
}

TEST(LookScheduler, MayBeDestroyedByItsLookOrWithARetryPending) {
    platform::ManualRunLoop loop;
    std::unique_ptr<netinfo::LookScheduler> scheduler;
    scheduler = std::make_unique<netinfo::LookScheduler>(loop, [&] {
        scheduler.reset();
        return true;
    });
    scheduler->eventArrived();
    loop.advance(1s);
    EXPECT_FALSE(scheduler);

    int calls = 0;
    scheduler = std::make_unique<netinfo::LookScheduler>(loop, [&] { return ++calls, false; });
    scheduler->eventArrived();
    loop.advance(100ms);
    scheduler.reset();
    loop.advance(1h);
    EXPECT_EQ(calls, 1);
}

}  // namespace
