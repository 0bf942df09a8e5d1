#include "support/ManualRunLoop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

using namespace std::chrono_literals;
using testing_support::ManualRunLoop;

namespace {

// Its virtual clock is exercised by every timer test of the controller and netinfo; timers
// and posts on the real clock by the run-loop contract test. What remains is the watches.
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
