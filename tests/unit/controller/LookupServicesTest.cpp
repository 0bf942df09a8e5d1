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

TEST_F(LookupServicesTest, ClearingLineNamesTheServiceThatAnsweredLast) {
    controller().clearExternalIPAddress();  // none has answered: the first is named
    externalIP();
    controller().clearExternalIPAddress();
    pages_.answerAt(kDown, "198.51.100.2");
    externalIP();
    controller().clearExternalIPAddress();
    const auto clearing = [](const char* host) {
        return "Clearing external IP address. (The next check will ask \""s + host + "\" again.)";
    };
    Lines clearings;
    std::ranges::copy_if(takeLog(), std::back_inserter(clearings),
                         [](const std::string& line) { return line.starts_with("Clearing"); });
    EXPECT_EQ(clearings, (Lines{clearing("127.0.0.1:8080"), clearing("192.0.2.53"),
                                clearing("127.0.0.1:8080")}));
}

TEST_F(LookupServicesTest, CheckNowAsksTheServicesAgainDespiteTheCache) {
    externalIP();
    pages_.answerAt(kDown, "198.51.100.2");
    store(keys::kLastExternalIPAddress, "203.0.113.7"s);
    controller().checkExternalIPAddressNow();
    settle();
    EXPECT_EQ(gExternalIPAddress, "198.51.100.2");
    EXPECT_EQ(count("External IP address changed from:203.0.113.7 to:198.51.100.2"), 1);
}

TEST_F(LookupServicesTest, ChangesAreNotifiedOnlyWhenTheUserAsks) {
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        on ? store(keys::kNotifyDesktopOnChange, true) : remove(keys::kNotifyDesktopOnChange);
        desktop_.notifications.clear();
        store(keys::kLastIPAddress, "10.0.0.1"s);
        store(keys::kLastExternalIPAddress, "198.51.100.9"s);
        gExternalIPAddress.reset();
        refresh();
        check();
        EXPECT_EQ(desktop_.notifications,
                  (on ? Lines{"IP address changed: Internal address changed from 10.0.0.1 to "
                              "10.0.0.5",
                              "IP address changed: External address changed from 198.51.100.9 "
                              "to 203.0.113.7"}
                      : Lines{}));
    }
}

TEST_F(LookupServicesTest, PublishedStateCarriesTheTimesOfTheLastChanges) {
    refresh();
    loop_.advance(90s);
    store(keys::kLastExternalIPAddress, "198.51.100.9"s);
    check();
    loop_.advance(30s);
    refresh();  // the same address: no new time
    const auto& state = desktop_.states.back();
    EXPECT_EQ(state.lastInternalChange, std::chrono::system_clock::time_point(kWallStart));
    EXPECT_EQ(state.lastExternalChange, std::chrono::system_clock::time_point(kWallStart + 90s));
}

}  // namespace
