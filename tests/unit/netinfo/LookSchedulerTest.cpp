// When the address list is looked at again after kernel events, on a
// virtual clock.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/LookScheduler.h"
#include "support/ManualRunLoop.h"

namespace {

using namespace std::chrono_literals;
using Times = std::vector<long>;  // ms after the start

TEST(LookScheduler, LooksAtOnceCoalescesBurstsAndRetriesFailures) {
    const struct {
        std::string name;
        Times events;
        int failingLooks;  // the first looks that fail
        Times looks;
    } cases[] = {
        {"one event looks at once", {0}, 0, {0}},
        {"events a window apart both look at once", {0, 30}, 0, {0, 30}},
        {"a burst: a look per window, the last after it", {0, 1, 19, 21, 58}, 0, {0, 20, 40, 60}},
        {"failures back off, then give up", {0}, 10, {0, 1000, 3000, 7000, 15000, 31000, 63000}},
        {"a retry that succeeds ends the series", {0}, 1, {0, 1000}},
        {"an event in the pause looks, backs off afresh", {0, 2000}, 3, {0, 1000, 2000, 3000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::ManualRunLoop loop;
        const auto start = loop.now();
        int failures = c.failingLooks;
        int eventsSeen = 0;  // events that had happened by the time of a look
        int lastLookSaw = -1;
        Times looks;
        netinfo::LookScheduler scheduler(loop, [&] {
            looks.push_back((loop.now() - start) / 1ms);
            lastLookSaw = eventsSeen;
            return failures-- <= 0;
        });
        for (const long at : c.events) {
            loop.advance(std::chrono::milliseconds(at - (loop.now() - start) / 1ms));
            ++eventsSeen;
            scheduler.eventArrived();
        }
        loop.advance(1h);
        EXPECT_EQ(looks, c.looks);
        EXPECT_EQ(lastLookSaw, static_cast<int>(c.events.size()));
    }
}

TEST(LookScheduler, MayBeDestroyedByItsLookOrWithATimerPending) {
    testing_support::ManualRunLoop loop;
    int looks = 0;
    std::unique_ptr<netinfo::LookScheduler> scheduler;
    for (const bool succeeds : {true, false}) {
        // A successful look ends it at once; after a failed one, with the
        // window open, the list stale and a retry pending, the test does.
        scheduler = std::make_unique<netinfo::LookScheduler>(loop, [&] {
            ++looks;
            return succeeds && (scheduler.reset(), true);
        });
        scheduler->eventArrived();
        EXPECT_EQ(scheduler == nullptr, succeeds);
        if (scheduler) {
            scheduler->eventArrived();
            scheduler.reset();
        }
        loop.advance(1h);
    }
    EXPECT_EQ(looks, 2);
}

}  // namespace
