// On a virtual clock: bounded reverse look-ups, and when to look at the list.
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/HostNameLookup.h"
#include "netinfo/LookScheduler.h"
#include "support/ManualRunLoop.h"

namespace {

using namespace std::chrono_literals;
using netinfo::HostNameCache;
using Names = std::vector<std::optional<std::string>>;

// A resolver that answers only once the test opens the gate, like a name
// server that has gone quiet.
struct Gate {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::atomic<int> calls{0};
};
netinfo::ReverseResolver Resolver(std::shared_ptr<Gate> gate) {
    return [gate](const std::string& address) -> std::optional<std::string> {
        ++gate->calls;
        gate->opened.wait();
        return "host-" + address;
    };
}

// The loop's clock is virtual: only the deadline timer decides when the
// callers give up. Two workers at most, both stuck until the gate opens.
TEST(HostNameCache, CallersShareBoundedWorkersThatMayOutliveCacheAndLoop) {
    auto gate = std::make_shared<Gate>();
    testing_support::ManualRunLoop loop;
    HostNameCache cache(Resolver(gate), {50ms, 300s, 2}, [&] { return loop.now(); });
    Names heard;
    const auto record = [&](std::optional<std::string> name) { heard.push_back(name); };
    for (const char* address : {"10.0.0.1", "10.0.0.1", "10.0.0.2", "bad", "10.0.0.3"}) {
        cache.nameFor(address, loop, record);
    }
    EXPECT_TRUE(heard.empty());  // never inside the call
    loop.runOnce(0ms);
    EXPECT_EQ(heard, Names(2, std::nullopt));  // the bad address, and no worker for the third
    EXPECT_EQ(cache.nameFor("10.0.0.1"), std::nullopt);  // a waiting call is cut off too
    loop.advance(49ms);
    EXPECT_EQ(heard.size(), 2u);
    loop.advance(1ms);
    EXPECT_EQ(heard, Names(5, std::nullopt));

    // A worker outlives its cache and its loop, and must touch neither (ASan).
    auto doomedLoop = std::make_unique<testing_support::ManualRunLoop>();
    auto doomed = std::make_unique<HostNameCache>(Resolver(gate));
    doomed->nameFor("10.0.0.9", *doomedLoop, record);
    for (int i = 0; gate->calls < 3 && i < 2000; ++i) {
        std::this_thread::sleep_for(1ms);  // the worker starts on its own time
    }
    doomed.reset();
    doomedLoop->advance(1s);
    doomedLoop.reset();

    // A caller during a look-up hears the answer when it comes, before its
    // deadline; the late answers fill the cache for its lifetime, no longer.
    heard.clear();
    cache.nameFor("10.0.0.1", loop, record);
    gate->open.set_value();
    EXPECT_TRUE(loop.runUntil([&] { return heard.size() == 1; }, 5s));
    cache.nameFor("10.0.0.2", loop, record);
    EXPECT_TRUE(loop.runUntil([&] { return heard.size() == 2; }, 5s));
    EXPECT_EQ(heard, (Names{"host-10.0.0.1", "host-10.0.0.2"}));
    loop.advance(301s);
    cache.nameFor("10.0.0.2", loop, record);
    EXPECT_TRUE(loop.runUntil([&] { return heard.size() == 3; }, 5s));
    for (int i = 0; gate.use_count() > 2 && i < 2000; ++i) {
        std::this_thread::sleep_for(1ms);  // until only the test and the cache hold the resolver
    }
    EXPECT_EQ(gate->calls, 4);

    EXPECT_EQ(netinfo::Inet_HostName(nullptr), "Unknown host");
    EXPECT_EQ(netinfo::Inet_HostName("999.1.1.1"), "Unknown host");
}

using Times = std::vector<long>;  // ms after the start

TEST(LookScheduler, LooksAtOnceCoalescesBurstsAndRetriesFailures) {
    const struct {
        std::string name;
        Times events;
        int failingLooks;  // the first looks that fail
        Times looks;
    } cases[] = {
        {"events a window apart both look at once", {0, 30}, 0, {0, 30}},
        {"a burst: a look per window, the last after it", {0, 1, 19, 21, 58}, 0, {0, 20, 40, 60}},
        {"failures back off, then give up", {0}, 10, {0, 1000, 3000, 7000, 15000, 31000, 63000}},
        {"an event in the pause looks, backs off afresh", {0, 2000}, 3, {0, 1000, 2000, 3000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::ManualRunLoop loop;
        const auto start = loop.now();
        const auto elapsed = [&] { return (loop.now() - start) / 1ms; };
        int failures = c.failingLooks;
        Times looks;
        netinfo::LookScheduler scheduler(loop, [&] {
            looks.push_back(elapsed());
            return failures-- <= 0;
        });
        for (const long at : c.events) {
            loop.advance(std::chrono::milliseconds(at - elapsed()));
            scheduler.eventArrived();
        }
        loop.advance(1h);
        EXPECT_EQ(looks, c.looks);
    }
}

// A successful look may destroy the scheduler at once; after a failed one,
// with its window open and a retry pending, the test does.
TEST(LookScheduler, MayBeDestroyedByItsLookOrWithATimerPending) {
    testing_support::ManualRunLoop loop;
    int looks = 0;
    std::unique_ptr<netinfo::LookScheduler> scheduler;
    scheduler = std::make_unique<netinfo::LookScheduler>(loop, [&] {
        ++looks;
        scheduler.reset();  // last: this lambda goes with it
        return true;
    });
    scheduler->eventArrived();
    EXPECT_FALSE(scheduler);
    scheduler = std::make_unique<netinfo::LookScheduler>(loop, [&] { return ++looks < 0; });
    scheduler->eventArrived();
    scheduler.reset();
    loop.advance(1h);
    EXPECT_EQ(looks, 2);
}

}  // namespace
