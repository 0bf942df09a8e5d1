#include "ControllerTest.h"
#include "controller/ExternalAnswer.h"

using controller::gExternalIPAddress;

namespace {

class ExternalMonitorTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        store(keys::kSendEmailNotifications, true);
        store(keys::kDisplayChangedIcon, true);
        store(keys::kEmail, "ops@example.org, noc@example.org,"s);  // split at every comma
        store(keys::kMinutesInterval, std::int64_t{3});             // below the least: 6 minutes
        addresses_.answer({"10.0.0.5"});
    }
};

struct CheckCase {
    const char* name;
    std::optional<std::string> page;        // none: the service cannot be reached
    std::optional<std::string> remembered;  // none: nothing stored yet
    const char* current;                    // what the check takes as the current address
    bool changed;
    bool mailAndIcon = true;  // the settings for e-mail and the change icon
};
PRINT_CASE_BY_NAME(CheckCase)

class ExternalCheckTest : public ExternalMonitorTest,
                          public ::testing::WithParamInterface<CheckCase> {};

std::string Page(const std::string& between) {
    return "<html><body>Current IP Address: " + between + "</body></html>";
}

TEST_P(ExternalCheckTest, CheckLogsComparesAndOnAChangeMailsAndRemembers) {
    const auto& param = GetParam();
    if (param.remembered) {
        store(keys::kLastExternalIPAddress, *param.remembered);
    }
    pages_.page = param.page;
    store(keys::kSendEmailNotifications, param.mailAndIcon);
    store(keys::kDisplayChangedIcon, param.mailAndIcon);
    const std::string current = param.current;
    const std::string last = param.remembered.value_or("0.0.0.0");

    check();

    Lines expected = {"Checking external IP",
                      "Loading external IP address...(from " + std::string(kLookupURL) + ")"};
    if (current != "-.-.-.-") {
        expected.push_back("External ip = " + current);
    }
    expected.push_back("Current external IP address: " + current);
    expected.push_back("Last external IP address: " + last);
    if (param.changed) {
        expected.push_back("External IP address changed from:" + last + " to:" + current);
    }
    const bool mailed = param.changed && param.mailAndIcon;
    if (mailed) {
        expected.insert(expected.end(),
                        {"Sending email alerts", "sender started for: ops@example.org",
                         "sender started for:  noc@example.org", "sender started for: "});
    }
    expected.push_back(
        "Next external IP address check in: 6 minutes (at 2026-12-07 00:06:00 +0000)");
    EXPECT_EQ(takeLog(), expected);

    const auto rememberedAfter = param.changed ? current : param.remembered;
    EXPECT_EQ(stored(keys::kLastExternalIPAddress),
              rememberedAfter ? std::optional(settings::Value(*rememberedAfter)) : std::nullopt);
    EXPECT_EQ(item_.image, mailed ? std::optional("OrbalenStatusChange.tif"s) : std::nullopt);
    EXPECT_EQ(alerts_.size(), mailed ? 3u : 0u);
    for (const auto& alert : alerts_) {
        EXPECT_EQ(alert.kind, mail::MailKind::External);
        EXPECT_EQ(alert.newAddress, current);
        EXPECT_EQ(alert.oldAddress, last);
        EXPECT_EQ(alert.message,
                  "OrbalenStatus has refreshed. The External IP address of machine \"%@\" has "
                  "changed from: %@ to %@");
    }
    EXPECT_EQ(gExternalIPAddress, current != "-.-.-.-" ? std::optional(current) : std::nullopt);
}

const CheckCase kCheckCases[] = {
    {"SameAddress", Page("203.0.113.7"), "203.0.113.7", "203.0.113.7", false},
    {"AddressChanged", Page("198.51.100.2"), "203.0.113.7", "198.51.100.2", true},
    {"FirstCheckEver", Page("203.0.113.7"), std::nullopt, "203.0.113.7", true},
    {"ServiceUnreachable", std::nullopt, "203.0.113.7", "-.-.-.-", true},
    {"StillUnreachable", std::nullopt, "-.-.-.-", "-.-.-.-", false},
    {"ChangedWithMailAndIconOff", Page("198.51.100.2"), "203.0.113.7", "198.51.100.2", true, false},
};
INSTANTIATE_TEST_SUITE_P(Answers, ExternalCheckTest, ::testing::ValuesIn(kCheckCases), CaseName());

// The user quits while the first service is silent: the check ends there,
// asking no other service and reporting, storing and mailing nothing, and
// the start-up says nothing of an address it never learnt.
TEST_F(ExternalMonitorTest, CheckCutShortByQuittingReportsNothing) {
    const std::string second = "http://127.0.0.2:8080/ip";
    store(keys::kExternalIPLookupURL, std::string(kLookupURL) + " " + second);
    store(keys::kLastExternalIPAddress, "198.51.100.9"s);
    store(keys::kEmailChangesToExternalIPAddress, true);
    store(keys::kLastIPAddress, "10.0.0.5"s);  // no internal change to mail either
    Lines fetched;
    services_.fetchPage = [this, &fetched](const std::string& url, auto done) {
        fetched.push_back(url);
        services_.fetchCancel->cancel();
        loop_.post([done] { done(std::nullopt); });
    };

    controller().init();
    settle();

    EXPECT_EQ(fetched, Lines{kLookupURL});
    Lines external;
    std::ranges::copy_if(takeLog(), std::back_inserter(external), [](const std::string& line) {
        return line.find("xternal") != std::string::npos;
    });
    EXPECT_EQ(external, (Lines{"Checking external IP", "Loading external IP address...(from " +
                                                           std::string(kLookupURL) + ")"}));
    EXPECT_EQ(stored(keys::kLastExternalIPAddress), settings::Value("198.51.100.9"s));
    EXPECT_TRUE(alerts_.empty());
}

struct AnswerCase {
    const char* name;
    std::string page;
    std::optional<std::string> address;
};
PRINT_CASE_BY_NAME(AnswerCase)

class AddressFromLookupPageTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AddressFromLookupPageTest, OnlyADottedQuadBetweenTheMarkersIsTaken) {
    EXPECT_EQ(controller::AddressFromLookupPage(GetParam().page), GetParam().address);
}

const AnswerCase kAnswerCases[] = {
    {"BlanksTrimmed", "<body>Current IP Address: \t 10.1.2.3 \n</body></html>", "10.1.2.3"},
    {"NoEndMarker", "Current IP Address: 1.2.3.4</body>", std::nullopt},
    {"OctetTooLarge", "Current IP Address: 1.2.3.256</body></html>", std::nullopt},
    {"IPv6", "Current IP Address: 2001:db8::1</body></html>", std::nullopt},
    {"TrailingWords", "Current IP Address: 1.2.3.4 and more</body></html>", std::nullopt},
    {"Markup", "Current IP Address: <b>1.2.3.4</b></body></html>", std::nullopt},
    {"LineBreakInside", "Current IP Address: 1.2.3.4\nX-Header: y</body></html>", std::nullopt},
    {"NulInside", std::string("Current IP Address: 1.2.3.4\0evil</body></html>", 46), std::nullopt},
    // Services that answer with the bare address.
    {"PlainTextWithLineBreak", "\r\n 203.0.113.7\n", "203.0.113.7"},
    {"PlainTextWithWords", "ip=203.0.113.7\n", std::nullopt},
    {"EmptyBody", "", std::nullopt},
    // A broken marker page is not read as plain text.
    {"StartMarkerInOtherCaseOnly", "current ip address: 1.2.3.4", std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Pages, AddressFromLookupPageTest, ::testing::ValuesIn(kAnswerCases),
                         CaseName());

constexpr const char* kDown = "http://127.0.0.1:8080/down";
constexpr const char* kPlain = "https://192.0.2.53/plain";

// Several lookup services in one setting, and what a change tells the desktop.
class LookupServicesTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        store(keys::kExternalIPLookupURL, " \t"s + kDown + "\r\n  " + kPlain + " \n");
        pages_.byURL[kDown] = std::nullopt;
        pages_.byURL[kPlain] = "203.0.113.7\n";
        addresses_.answer({"10.0.0.5"});
    }
};

TEST_F(LookupServicesTest, ServicesAreAskedInOrderUntilOneAnswersElseAllAgain) {
    EXPECT_EQ(externalIP(), "203.0.113.7");
    EXPECT_EQ(pages_.fetched, (Lines{kDown, kPlain}));
    EXPECT_EQ(takeLog(), (Lines{"Loading external IP address...(from " + std::string(kDown) + ")",
                                "Loading external IP address...(from " + std::string(kPlain) + ")",
                                "External ip = 203.0.113.7"}));

    pages_.byURL[kPlain] = "busy";
    controller().clearExternalIPAddress();
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(pages_.fetched, (Lines{kDown, kPlain, kDown, kPlain, kDown, kPlain}));
}

// A setting of blanks alone names no service: nothing is asked, nothing named.
TEST_F(LookupServicesTest, BlankSettingAsksNoService) {
    store(keys::kExternalIPLookupURL, " \t\n"s);
    controller().clearExternalIPAddress();
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(takeLog(),
              Lines{"Clearing external IP address. (The next check will ask \"\" again.)"});
    EXPECT_TRUE(pages_.fetched.empty());
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
    EXPECT_EQ(pages_.fetched, (Lines{kDown, kPlain}));
}

// (The notices shown when the user asks are checked end to end.)
TEST_F(LookupServicesTest, ChangesAreNotNotifiedUnlessAskedAndTheirTimesPublished) {
    store(keys::kLastIPAddress, "10.0.0.1"s);
    store(keys::kLastExternalIPAddress, "198.51.100.9"s);
    refresh();
    loop_.advance(30s);
    check();
    EXPECT_EQ(desktop_.notifications, Lines{});
    refresh();  // the same address: no new time
    const auto& state = desktop_.states.back();
    EXPECT_EQ(state.lastInternalChange, std::chrono::system_clock::time_point(kWallStart));
    EXPECT_EQ(state.lastExternalChange, std::chrono::system_clock::time_point(kWallStart + 30s));
}

}  // namespace
