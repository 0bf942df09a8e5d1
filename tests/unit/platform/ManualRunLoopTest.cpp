#include "support/ManualRunLoop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <type_traits>
#include <vector>

using namespace std::chrono_literals;
using testing_support::ManualRunLoop;

namespace {

// Callbacks keep references to their loop, and a copy used to free its state twice.
static_assert(!std::is_copy_constructible_v<ManualRunLoop>);
static_assert(!std::is_copy_assignable_v<ManualRunLoop>);

TEST(ManualRunLoopTest, VirtualTimersFireInDueOrderAtTheirDueTime) {
    ManualRunLoop loop;
    const auto start = loop.now();
    std::vector<std::string> fired;
    auto record = [&](std::string tag) {
        return
            [&, tag] { fired.push_back(tag + "@" + std::to_string((loop.now() - start) / 1ms)); };
    };
    loop.addTimer(30ms, 0ms, record("c"));
    loop.addTimer(10ms, 0ms, record("a"));
    loop.addTimer(10ms, 0ms, record("b"));  // same time: adding order
    loop.addTimer(25ms, 20ms, record("r"));

    loop.advance(9ms);
    EXPECT_TRUE(fired.empty());
    loop.advance(61ms);
    EXPECT_EQ(fired, (std::vector<std::string>{"a@10", "b@10", "r@25", "c@30", "r@45", "r@65"}));
    EXPECT_EQ(loop.now() - start, 70ms);
}

TEST(ManualRunLoopTest, CallbacksMayChangeTimersIncludingTheirOwn) {
    ManualRunLoop loop;
    int repeats = 0;
    int chained = 0;
    platform::RunLoop::TimerId self = 0;
    self = loop.addTimer(5ms, 5ms, [&] {
        if (++repeats == 3) {
            loop.invalidateTimer(self);
        }
    });
    // A one-shot that schedules its successor, due within the same advance.
    std::function<void()> chain = [&] {
        if (++chained < 4) {
            loop.addTimer(0ms, 0ms, chain);
        }
    };
    loop.addTimer(1ms, 0ms, chain);
    const auto victim = loop.addTimer(50ms, 0ms, [] { FAIL() << "invalidated timer fired"; });
    loop.addTimer(40ms, 0ms, [&] { loop.invalidateTimer(victim); });

    loop.advance(100ms);
    EXPECT_EQ(repeats, 3);
    EXPECT_EQ(chained, 4);
    loop.invalidateTimer(self);  // already gone: ignored
    loop.invalidateTimer(12345);
}

// Timers and posts on the real clock are part of the run-loop contract test.
TEST(ManualRunLoopTest, RealClockWatchesDeliverAndRemovedOrClosedOnesAreDropped) {
    ManualRunLoop loop(ManualRunLoop::Clock::Real);
    EXPECT_FALSE(loop.runOnce(0ms));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    const auto watch = loop.watchReadable(fds[0], [&] {
        char buffer[16];
        const auto n = read(fds[0], buffer, sizeof buffer);
        received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    });
    ASSERT_EQ(write(fds[1], "ab", 2), 2);
    EXPECT_TRUE(loop.runUntil([&] { return received == "ab"; }, 5s));
    loop.removeWatch(watch);
    ASSERT_EQ(write(fds[1], "c", 1), 1);
    EXPECT_FALSE(loop.runOnce(20ms));
    // A watch whose descriptor was closed is dropped, not spun on.
    int calls = 0;
    loop.watchReadable(fds[0], [&] { ++calls; });
    close(fds[0]);
    close(fds[1]);
    loop.runOnce(0ms);
    EXPECT_FALSE(loop.runOnce(10ms));
    EXPECT_EQ(calls, 0);
}

}  // namespace
