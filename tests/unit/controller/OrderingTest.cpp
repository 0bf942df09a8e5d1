#include "ControllerTest.h"
#include "controller/MailThrottle.h"

namespace {

// What the user sees comes at once; the lines and mails follow in order.
class OrderingTest : public ControllerTest {
protected:
    void change(const std::string& first) {
        const netinfo::AddressList looked{first};
        answer(looked);  // as any later read finds it
        controller().ipAddressChanged(&looked);
    }
    static std::string changed(const std::string& from, const std::string& to) {
        return "(First) Internal IP address changed from:" + from + " to:" + to;
    }
};

TEST_F(OrderingTest, ChangeShowsAtOnceAndRefreshesLogOneAfterAnother) {
    start();
    names_["10.0.0.6"] = std::nullopt;  // its reverse look-up never answers
    change("10.0.0.6");
    EXPECT_EQ(item_.title(), "10.0.0.6") << "the list handed on serves, not a new read";
    EXPECT_EQ(desktop_.states.back().addresses, Lines{"10.0.0.6"});
    EXPECT_EQ(takeLog(), Lines{"Checking internal IP"}) << "the rest waits for the name";

    change("10.0.0.7");
    settle();
    EXPECT_EQ(item_.title(), "10.0.0.7");
    EXPECT_TRUE(log_.empty()) << "the second refresh waits behind the first";

    loop_.advance(controller::AppController::kLookupBound);
    settle();
    EXPECT_TRUE(inOrder({"Internal IP address:10.0.0.6 (no name)", changed("10.0.0.5", "10.0.0.6"),
                         refreshedLine("10.0.0.6"), "Checking internal IP",
                         "Internal IP address:10.0.0.7 (no name)", changed("10.0.0.6", "10.0.0.7"),
                         refreshedLine("10.0.0.7")}));
}

TEST_F(OrderingTest, HungLookupServiceHoldsNeitherTheStartNorChanges) {
    store({{keys::kEmailChangesToExternalIPAddress, true},
           {keys::kLastExternalIPAddress, "203.0.113.7"s}});
    hanging_ = true;
    controller().init();
    EXPECT_EQ(item_.title(), "10.0.0.5") << "shown before any answer";
    change("10.0.0.8");
    EXPECT_EQ(item_.title(), "10.0.0.8");
    for (int held = 0; held < 3; ++held) {  // each job waiting on the lookup, in turn
        settle();
        loop_.advance(controller::AppController::kHoldBound);
    }
    settle();
    EXPECT_TRUE(inOrder({"Starting up...", "Checking external IP",
                         "Loading external IP address...(from " + std::string(kLookupURL) + ")",
                         refreshedLine("10.0.0.5"), changed("10.0.0.5", "10.0.0.8")}))
        << "the refreshes went ahead of the waiting check";

    release();
    settle();
    EXPECT_TRUE(
        inOrder({changed("10.0.0.5", "10.0.0.8"), "Current external IP address: 203.0.113.7",
                 "The current external IP address is:203.0.113.7",
                 "The current (first) internal IP address is:10.0.0.5"}));
    EXPECT_EQ(fetched_.size(), 1u) << "the start-up line joined the check's lookup";
}

TEST_F(OrderingTest, MailsComeThreeInARowThenOneAMinuteFromTheLastMailed) {
    store({{keys::kLastIPAddress, "10.0.0.5"s}});
    start();
    for (const char* first : {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.9"}) {
        change(first);
        settle();
    }
    EXPECT_EQ(mailed(), (Lines{"10.0.0.5>10.0.0.1", "10.0.0.1>10.0.0.2", "10.0.0.2>10.0.0.3"}));
    EXPECT_EQ(alerts_.at(0).kind, mail::MailKind::Internal);
    EXPECT_EQ(count(changed("10.0.0.4", "10.0.0.9")), 1) << "every change is logged";
    EXPECT_EQ(count("Internal address e-mail held back: more than 3 changes in a row; the next "
                    "one goes out at 00:01:00"),
              2);
    loop_.advance(1min);
    settle();
    EXPECT_EQ(mailed().back(), "10.0.0.3>10.0.0.9") << "one mail from the last mailed";

    change("10.0.0.4");  // no token left: held, and back before it is due
    change("10.0.0.9");
    settle();
    loop_.advance(5min);
    settle();
    EXPECT_EQ(mailed().size(), 4u) << "a change undone in time sends nothing";
}

TEST_F(OrderingTest, OutsideRequestsJoinTheCheckOrRefreshAlreadyWaiting) {
    start();
    hanging_ = true;
    fetched_.clear();
    for (int call = 0; call < 100; ++call) {
        controller().checkExternalIPAddressNow();
        controller().refresh(true);
    }
    release();
    settle();
    EXPECT_EQ(fetched_.size(), 1u);
    EXPECT_EQ(count("Checking internal IP"), 1) << "the refresh queued absorbed the rest";

    loop_.advance(controller::AppController::kCheckReuse - 1s);
    controller().checkExternalIPAddressNow();
    settle();
    EXPECT_EQ(fetched_.size(), 1u) << "answered from the check just made";
    loop_.advance(1s);
    controller().checkExternalIPAddressNow();
    settle();
    EXPECT_EQ(fetched_.size(), 2u);
}

// On a real clock a timer may fire a fraction of a millisecond before the
// token it waits for is due; the held mail must still go out.
class CreepingLoop : public testing_support::ManualRunLoop {
public:
    TimePoint now() const override { return ManualRunLoop::now() + (creep_ += 10us); }
    mutable std::chrono::microseconds creep_{0};
};

TEST(MailThrottleTest, HeldMailGoesOutWhenItsTimerFiresJustBeforeTheToken) {
    CreepingLoop loop;
    std::vector<std::string> sent;
    controller::MailThrottle throttle(
        loop, [&](const controller::MailThrottle::Change& c, bool) { sent.push_back(c.to); },
        [](auto) {}, [](const std::string&) {});
    for (const char* to : {"10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5"}) {
        throttle.offer({"10.0.0.1", to});
    }
    loop.advance(2min);
    EXPECT_EQ(sent, (std::vector<std::string>{"10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5"}));
}

}  // namespace
