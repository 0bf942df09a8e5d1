// What every RunLoop promises, checked on each implementation the program uses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/qt/QtRunLoop.h"
#include "support/ManualRunLoop.h"

using namespace std::chrono_literals;
using platform::RunLoop;

namespace {

struct RealTimeLoop {
    testing_support::RealTimeRunLoop loop;
    bool runUntil(const std::function<bool()>& done, RunLoop::Duration timeout) {
        return loop.runUntil(done, timeout);
    }
};

struct QtLoop {
    int argc = 0;
    QCoreApplication app{argc, nullptr};
    platform::QtRunLoop loop;
    bool runUntil(const std::function<bool()>& done, RunLoop::Duration timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        return done();
    }
};

template <typename Loop>
class RunLoopContractTest : public ::testing::Test {
protected:
    RunLoop& loop() { return driver_.loop; }
    bool runUntil(const std::function<bool()>& done, RunLoop::Duration timeout = 5s) {
        return driver_.runUntil(done, timeout);
    }
    void runFor(RunLoop::Duration time) {
        driver_.runUntil([] { return false; }, time);
    }

    Loop driver_;
};

class LoopNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, QtLoop> ? "QtRunLoop" : "RealTimeRunLoop";
    }
};

using Loops = ::testing::Types<RealTimeLoop, QtLoop>;
TYPED_TEST_SUITE(RunLoopContractTest, Loops, LoopNames);

TYPED_TEST(RunLoopContractTest, TimerMayCancelItselfAndLaterTimers) {
    int repeats = 0;
    RunLoop::TimerId self = 0;
    const RunLoop::TimerId victim =
        this->loop().addTimer(200ms, 0ms, [] { ADD_FAILURE() << "cancelled timer fired"; });
    self = this->loop().addTimer(1ms, 5ms, [&] {
        if (++repeats == 3) {
            this->loop().invalidateTimer(self);
            this->loop().invalidateTimer(victim);
        }
    });
    ASSERT_TRUE(this->runUntil([&] { return repeats == 3; }));
    this->runFor(300ms);
    EXPECT_EQ(repeats, 3);
    this->loop().invalidateTimer(self);  // already gone: ignored
}

TYPED_TEST(RunLoopContractTest, PostsRunOnTheLoopThreadInPostingOrder) {
    constexpr int kPosts = 200;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> offThread{false};
    auto poster = [&](int first) {
        for (int i = first; i < first + kPosts; ++i) {
            this->loop().post([&, i] {
                offThread = offThread || std::this_thread::get_id() != loopThread;
                order.push_back(i);
            });
        }
    };
    std::thread other(poster, 0);
    poster(1000);
    other.join();
    ASSERT_TRUE(this->runUntil([&] { return order.size() == 2 * kPosts; }));
    EXPECT_FALSE(offThread);
    // Each poster's work keeps its order, however the two interleave.
    std::vector<int> fromOther, fromHere;
    for (int i : order) {
        (i < 1000 ? fromOther : fromHere).push_back(i);
    }
    EXPECT_TRUE(std::is_sorted(fromOther.begin(), fromOther.end()));
    EXPECT_TRUE(std::is_sorted(fromHere.begin(), fromHere.end()));
}

TYPED_TEST(RunLoopContractTest, WatchMayRemoveItselfAndOthersFromItsCallback) {
    int first[2], second[2];
    ASSERT_EQ(pipe(first), 0);
    ASSERT_EQ(pipe(second), 0);
    int calls = 0;
    RunLoop::WatchId a = 0, b = 0;
    // Whichever runs first removes both; the data is left unread, so a watch
    // still in place would be called again at once.
    auto removeBoth = [&] {
        ++calls;
        this->loop().removeWatch(a);
        this->loop().removeWatch(b);
    };
    a = this->loop().watchReadable(first[0], removeBoth);
    b = this->loop().watchReadable(second[0], removeBoth);
    ASSERT_EQ(write(first[1], "x", 1), 1);
    ASSERT_EQ(write(second[1], "y", 1), 1);
    ASSERT_TRUE(this->runUntil([&] { return calls > 0; }));
    this->runFor(100ms);
    EXPECT_EQ(calls, 1);
    for (int fd : {first[0], first[1], second[0], second[1]}) {
        close(fd);
    }
}

}  // namespace
