#include <chrono>
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "netinfo/HostNameLookup.h"

namespace {

using namespace std::chrono_literals;
using netinfo::HostNameCache;

// A resolver that answers only when the test lets it, like a name server
// that has gone quiet.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int calls = 0;

    void release() {
        std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
};

netinfo::ReverseResolver GatedResolver(std::shared_ptr<Gate> gate) {
    return [gate](const std::string& address) -> std::optional<std::string> {
        std::unique_lock lock(gate->mutex);
        ++gate->calls;
        gate->opened.wait(lock, [&] { return gate->open; });
        return "host-" + address;
    };
}

TEST(HostNameCache, SlowResolverIsCutOffAndItsLateAnswerIsKept) {
    auto gate = std::make_shared<Gate>();
    HostNameCache cache(GatedResolver(gate), {50ms, 300s, 4});
    EXPECT_EQ(cache.nameFor("10.0.0.1"), std::nullopt);
    EXPECT_EQ(cache.nameFor("10.0.0.1"), std::nullopt);  // waits on the same look-up
    gate->release();
    EXPECT_EQ(cache.nameFor("10.0.0.1"), "host-10.0.0.1");
    EXPECT_EQ(cache.nameFor("10.0.0.1"), "host-10.0.0.1");
    std::lock_guard lock(gate->mutex);
    EXPECT_EQ(gate->calls, 1);
}

TEST(HostNameCache, StuckResolverBoundsTheWorkers) {
    auto gate = std::make_shared<Gate>();
    HostNameCache cache(GatedResolver(gate), {10ms, 300s, 2});
    for (const char* address : {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}) {
        EXPECT_EQ(cache.nameFor(address), std::nullopt);
    }
    {
        std::lock_guard lock(gate->mutex);
        EXPECT_EQ(gate->calls, 2);
    }
    gate->release();
}

TEST(HostNameCache, WorkerMayFinishAfterTheCacheIsGone) {
    auto gate = std::make_shared<Gate>();
    {
        HostNameCache cache(GatedResolver(gate), {5ms, 300s, 4});
        EXPECT_EQ(cache.nameFor("10.0.0.9"), std::nullopt);
    }
    gate->release();
    // Give the worker time to finish into its own state (checked by ASan).
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(1ms);
    }
}

TEST(HostNameCache, AnswersExpireAndBadAddressesAreRefused) {
    auto now = std::chrono::steady_clock::time_point{};
    int calls = 0;
    HostNameCache cache(
        [&](const std::string&) -> std::optional<std::string> {
            ++calls;
            return std::nullopt;
        },
        {1s, 60s, 4}, [&] { return now; });
    EXPECT_EQ(cache.nameFor("192.0.2.1"), std::nullopt);
    EXPECT_EQ(cache.nameFor("192.0.2.1"), std::nullopt);
    EXPECT_EQ(calls, 1);
    now += 61s;
    cache.nameFor("192.0.2.1");
    EXPECT_EQ(calls, 2);

    EXPECT_EQ(cache.nameFor("not an address"), std::nullopt);
    EXPECT_EQ(cache.nameFor(""), std::nullopt);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Inet_HostName(nullptr), "Unknown host");
    EXPECT_EQ(Inet_HostName("999.1.1.1"), "Unknown host");
}

}  // namespace
