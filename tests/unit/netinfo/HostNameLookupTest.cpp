// Bounded reverse look-ups, with resolvers of the test's own.
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "netinfo/HostNameLookup.h"

using netinfo::Inet_HostName;

namespace {

using namespace std::chrono_literals;
using netinfo::HostNameCache;

// A resolver that answers only once the test opens the gate, like a name
// server that has gone quiet.
struct Gate {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::atomic<int> calls{0};

    static netinfo::ReverseResolver Resolver(std::shared_ptr<Gate> gate) {
        return [gate](const std::string& address) -> std::optional<std::string> {
            ++gate->calls;
            gate->opened.wait();
            return "host-" + address;
        };
    }
};

TEST(HostNameCache, SlowResolverIsCutOffAndItsLateAnswerIsKept) {
    auto gate = std::make_shared<Gate>();
    HostNameCache cache(Gate::Resolver(gate), {50ms, 300s, 4});
    EXPECT_EQ(cache.nameFor("10.0.0.1"), std::nullopt);
    EXPECT_EQ(cache.nameFor("10.0.0.1"), std::nullopt);  // waits on the same look-up
    gate->open.set_value();
    EXPECT_EQ(cache.nameFor("10.0.0.1"), "host-10.0.0.1");
    EXPECT_EQ(cache.nameFor("10.0.0.1"), "host-10.0.0.1");
    EXPECT_EQ(gate->calls, 1);
}

TEST(HostNameCache, StuckResolverBoundsTheWorkersWhichMayOutliveTheCache) {
    auto gate = std::make_shared<Gate>();
    {
        HostNameCache cache(Gate::Resolver(gate), {10ms, 300s, 2});
        for (const char* address : {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}) {
            EXPECT_EQ(cache.nameFor(address), std::nullopt);
        }
        for (int i = 0; gate->calls < 2 && i < 2000; ++i) {
            std::this_thread::sleep_for(1ms);  // the workers start on their own time
        }
        EXPECT_EQ(gate->calls, 2);
    }
    gate->open.set_value();
    // The workers finish into their own state (checked by ASan).
    std::this_thread::sleep_for(100ms);
}

TEST(HostNameCache, AnswersExpireAndBadAddressesAreRefused) {
    auto now = std::chrono::steady_clock::time_point{};
    int calls = 0;
    auto resolver = [&](const std::string&) { return ++calls, std::optional<std::string>{}; };
    HostNameCache cache(resolver, {1s, 60s, 4}, [&] { return now; });
    EXPECT_EQ(cache.nameFor("192.0.2.1"), std::nullopt);
    EXPECT_EQ(cache.nameFor("192.0.2.1"), std::nullopt);
    EXPECT_EQ(calls, 1);
    now += 61s;
    cache.nameFor("192.0.2.1");
    EXPECT_EQ(calls, 2);

    EXPECT_EQ(cache.nameFor("not an address"), std::nullopt);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Inet_HostName(nullptr), "Unknown host");
    EXPECT_EQ(Inet_HostName("999.1.1.1"), "Unknown host");
}

}  // namespace
