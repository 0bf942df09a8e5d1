#include "ControllerTest.h"

using controller::gExternalIPAddress;

namespace {

constexpr const char* kDown = "http://127.0.0.1:8080/down";
constexpr const char* kPlain = "https://192.0.2.53/plain";

// Several lookup services in one setting, and what a change tells the desktop.
class LookupServicesTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        store(keys::kExternalIPLookupURL, std::string(kDown) + "  " + kPlain);
        pages_.answerAt(kDown, std::nullopt);
        pages_.answerAt(kPlain, "203.0.113.7\n");
        addresses_.answer({"10.0.0.5"});
    }
};

TEST_F(LookupServicesTest, ServicesAreAskedInOrderUntilOneAnswersElseAllAgain) {
    EXPECT_EQ(externalIP(), "203.0.113.7");
    EXPECT_EQ(pages_.fetchedURLs(), (Lines{kDown, kPlain}));
    EXPECT_EQ(takeLog(), (Lines{"Loading external IP address...(from " + std::string(kDown) + ")",
                                "Loading external IP address...(from " + std::string(kPlain) + ")",
                                "External ip = 203.0.113.7"}));

    pages_.answerAt(kPlain, "busy");
    controller().clearExternalIPAddress();
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(pages_.fetchedURLs(), (Lines{kDown, kPlain, kDown, kPlain, kDown, kPlain}));
}

TEST_F(LookupServicesTest, ClearingEveryFiveMinutesNamesTheServiceThatAnsweredLast) {
    const auto clearing = [](const char* host) {
        return "Clearing external IP address. (The next check will ask \""s + host + "\" again.)";
    };
    controller().clearExternalIPAddress();  // none has answered: the first is named
    EXPECT_EQ(takeLog(), Lines{clearing("127.0.0.1:8080")});
    start();  // the second service answers at start-up: cached
    loop_.advance(299s);
    EXPECT_EQ(externalIP(), "203.0.113.7");
    EXPECT_EQ(takeLog().back(), "Copying external IP address...");
    loop_.advance(1s);
    EXPECT_EQ(takeLog(), Lines{clearing("192.0.2.53")});
    EXPECT_FALSE(desktop_.states.back().externalAddress) << "the cleared cache is published";
    pages_.answerAt(kDown, "198.51.100.2");
    EXPECT_EQ(externalIP(), "198.51.100.2");
    loop_.advance(300s);
    EXPECT_EQ(count(clearing("127.0.0.1:8080")), 1);
    EXPECT_EQ(pages_.fetchedURLs(), (Lines{kDown, kPlain, kDown}));
}

TEST_F(LookupServicesTest, ChangesAreNotifiedWhenTheUserAsksAndTheirTimesPublished) {
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        on ? store(keys::kNotifyDesktopOnChange, true) : remove(keys::kNotifyDesktopOnChange);
        desktop_.notifications.clear();
        store(keys::kLastIPAddress, "10.0.0.1"s);
        store(keys::kLastExternalIPAddress, "198.51.100.9"s);
        gExternalIPAddress.reset();
        refresh();
        loop_.advance(30s);
        check();
        EXPECT_EQ(desktop_.notifications,
                  (on ? Lines{"IP address changed: Internal address changed from 10.0.0.1 to "
                              "10.0.0.5",
                              "IP address changed: External address changed from 198.51.100.9 "
                              "to 203.0.113.7"}
                      : Lines{}));
    }
    refresh();  // the same address: no new time
    const auto& state = desktop_.states.back();
    EXPECT_EQ(state.lastInternalChange, std::chrono::system_clock::time_point(kWallStart + 30s));
    EXPECT_EQ(state.lastExternalChange, std::chrono::system_clock::time_point(kWallStart + 60s));
}

}  // namespace
