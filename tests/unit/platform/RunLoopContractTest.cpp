// What every RunLoop promises, checked on each implementation the program uses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <thread>
#include <vector>

#include "platform/qt/QtRunLoop.h"
#include "support/ManualRunLoop.h"

using namespace std::chrono_literals;
using platform::RunLoop;

namespace {

using Done = std::function<bool()>;

template <typename Loop>
class RunLoopContractTest : public ::testing::Test {
protected:
    bool runUntil(const Done& done, RunLoop::Duration limit = 5s) {
        if constexpr (std::is_same_v<Loop, testing_support::RealTimeRunLoop>) {
            return loop_.runUntil(done, limit);
        }
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        return done();
    }

    int argc_ = 0;
    QCoreApplication app_{argc_, nullptr};  // the Qt loop needs one
    Loop loop_;
};

using Loops = ::testing::Types<testing_support::RealTimeRunLoop, platform::QtRunLoop>;
TYPED_TEST_SUITE(RunLoopContractTest, Loops);

// A timer or a watch may end itself and a later one from its callback. The
// watched data is left unread, so a watch still in place would run again.
TYPED_TEST(RunLoopContractTest, CallbacksMayEndThemselvesAndOthers) {
    RunLoop& loop = this->loop_;
    int repeats = 0, calls = 0;
    RunLoop::TimerId self = 0;
    const RunLoop::TimerId victim =
        loop.addTimer(200ms, 0ms, [] { ADD_FAILURE() << "cancelled timer fired"; });
    self = loop.addTimer(1ms, 5ms, [&] {
        if (++repeats == 3) {
            loop.invalidateTimer(self);
            loop.invalidateTimer(victim);
        }
    });
    int first[2], second[2];
    ASSERT_EQ(pipe(first), 0);
    ASSERT_EQ(pipe(second), 0);
    RunLoop::WatchId a = 0, b = 0;
    auto removeBoth = [&] {
        ++calls;
        loop.removeWatch(a);
        loop.removeWatch(b);
    };
    a = loop.watchReadable(first[0], removeBoth);
    b = loop.watchReadable(second[0], removeBoth);
    ASSERT_EQ(write(first[1], "x", 1), 1);
    ASSERT_EQ(write(second[1], "y", 1), 1);
    ASSERT_TRUE(this->runUntil([&] { return repeats == 3 && calls > 0; }));
    this->runUntil([] { return false; }, 300ms);
    EXPECT_EQ(std::pair(repeats, calls), std::pair(3, 1));
    for (int fd : {first[0], first[1], second[0], second[1]}) {
        close(fd);
    }
}

// Work posted from any thread runs on the loop's, each poster's in its order.
TYPED_TEST(RunLoopContractTest, PostsRunOnTheLoopThreadInPostingOrder) {
    constexpr int kPosts = 200;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> ran[2];
    bool offThread = false;
    auto poster = [&](int who) {
        for (int i = 0; i < kPosts; ++i) {
            this->loop_.post([&, who, i] {
                offThread = offThread || std::this_thread::get_id() != loopThread;
                ran[who].push_back(i);
            });
        }
    };
    std::thread other(poster, 1);
    poster(0);
    other.join();
    ASSERT_TRUE(this->runUntil([&] { return ran[0].size() + ran[1].size() == 2 * kPosts; }));
    EXPECT_FALSE(offThread);
    EXPECT_TRUE(std::ranges::is_sorted(ran[0]) && std::ranges::is_sorted(ran[1]));
}

}  // namespace
