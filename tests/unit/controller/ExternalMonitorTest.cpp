#include "ControllerTest.h"
#include "controller/ExternalAnswer.h"

using controller::gExternalIPAddress;

namespace {

using ExternalMonitorTest = ControllerTest;

struct CheckCase {
    const char* name;
    std::optional<std::string> page;        // none: the service cannot be reached
    std::optional<std::string> remembered;  // none: nothing stored yet
    const char* current;                    // what the check takes as the current address
    bool changed;
    bool mailAndIcon = true;  // the settings for e-mail and the change icon
};
PRINT_CASE_BY_NAME(CheckCase)

class ExternalCheckTest : public ControllerTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ExternalCheckTest, CheckLogsComparesAndOnAChangeMailsAndRemembers) {
    const auto& param = GetParam();
    const std::string current = param.current, last = param.remembered.value_or("0.0.0.0");
    pages_[""] = param.page;
    store({{keys::kEmail, "ops@example.org, noc@example.org,"s},  // split at every comma
           {keys::kMinutesInterval, std::int64_t{3}},             // below the least: 6
           {keys::kLastExternalIPAddress, param.remembered},
           {keys::kSendEmailNotifications, param.mailAndIcon},
           {keys::kDisplayChangedIcon, param.mailAndIcon}});

    controller().externalIPAddressChangedTimerAction();
    settle();

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
        EXPECT_EQ(alert.oldAddress.value_or("none") + ">" + alert.newAddress, last + ">" + current);
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
    store({{keys::kExternalIPLookupURL, std::string(kLookupURL) + " http://127.0.0.2:8080/ip"},
           {keys::kLastExternalIPAddress, "198.51.100.9"s},
           {keys::kEmailChangesToExternalIPAddress, true},
           {keys::kLastIPAddress, "10.0.0.5"s}});  // no internal change to mail either
    services_.fetchPage = [this](const std::string& url, auto done) {
        fetched_.push_back(url);
        services_.fetchCancel->cancel();
        loop_.post([done] { done(std::nullopt); });
    };

    controller().init();
    settle();

    EXPECT_EQ(fetched_, Lines{kLookupURL});
    Lines external;
    std::ranges::copy_if(takeLog(), std::back_inserter(external), [](const std::string& line) {
        return line.find("xternal") != std::string::npos;
    });
    EXPECT_EQ(external, (Lines{"Checking external IP", "Loading external IP address...(from " +
                                                           std::string(kLookupURL) + ")"}));
    EXPECT_EQ(stored(keys::kLastExternalIPAddress), settings::Value("198.51.100.9"s));
    EXPECT_TRUE(alerts_.empty());
}

// Only a dotted quad between the markers, or alone on a page without them.
TEST(AddressFromLookupPageTest, OnlyADottedQuadBetweenTheMarkersOrAloneIsTaken) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"<body>Current IP Address: \t 10.1.2.3 \n</body></html>", "10.1.2.3"},
        {"Current IP Address: 1.2.3.4</body>", std::nullopt},  // no end marker
        {"Current IP Address: 1.2.3.4 and more</body></html>", std::nullopt},
        {std::string("Current IP Address: 1.2.3.4\0evil</body></html>", 46), std::nullopt},
        {"\r\n 203.0.113.7\n", "203.0.113.7"},
        {"ip=203.0.113.7\n", std::nullopt},
        {"current ip address: 1.2.3.4", std::nullopt},  // a broken marker page is not plain text
    };
    for (const auto& [page, address] : cases) {
        EXPECT_EQ(controller::AddressFromLookupPage(page), address) << page;
    }
}

constexpr const char* kDown = "http://127.0.0.1:8080/down";
constexpr const char* kPlain = "https://192.0.2.53/plain";

// Services are asked in order until one answers, and all again while none
// does; the cache is cleared every five minutes, naming the service that
// answered last (the first before any has). Blanks alone name no service.
TEST_F(ExternalMonitorTest, LookupServicesAreAskedInOrderAndClearedEveryFiveMinutes) {
    store({{keys::kExternalIPLookupURL, " \t"s + kDown + "\r\n  " + kPlain + " \n"}});
    pages_[kDown] = std::nullopt;
    pages_[kPlain] = "203.0.113.7\n";
    const auto clearing = [](const char* host) {
        return "Clearing external IP address. (The next check will ask \""s + host + "\" again.)";
    };
    controller().clearExternalIPAddress();
    EXPECT_EQ(takeLog(), Lines{clearing("127.0.0.1:8080")});
    controller().init();
    settle();
    EXPECT_EQ(fetched_, (Lines{kDown, kPlain}));
    EXPECT_TRUE(inOrder({"Loading external IP address...(from "s + kDown + ")",
                         "Loading external IP address...(from "s + kPlain + ")",
                         "External ip = 203.0.113.7"}));
    loop_.advance(299s);
    log_.clear();
    EXPECT_EQ(externalIP(), "203.0.113.7");
    EXPECT_EQ(takeLog(), Lines{"Copying external IP address..."});
    loop_.advance(1s);
    EXPECT_EQ(takeLog(), Lines{clearing("192.0.2.53")});
    EXPECT_FALSE(desktop_.states.back().externalAddress) << "the cleared cache is published";

    pages_[kPlain] = "busy";
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(fetched_, (Lines{kDown, kPlain, kDown, kPlain, kDown, kPlain}));
    store({{keys::kExternalIPLookupURL, " \t\n"s}});
    log_.clear();
    EXPECT_EQ(externalIP(), "-.-.-.-");
    EXPECT_EQ(fetched_.size(), 6u);
    EXPECT_EQ(takeLog(), Lines{});
}

}  // namespace
