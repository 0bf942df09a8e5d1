#include "ControllerTest.h"

using controller::gExternalIPAddress;

namespace {

class ExternalMonitorTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        store(keys::kSendEmailNotifications, true);
        store(keys::kDisplayChangedIcon, true);
        store(keys::kEmail, "ops@example.org, noc@example.org"s);
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
    pages_.answer(param.page);
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
                         "sender started for:  noc@example.org"});
    }
    expected.push_back(
        "Next external IP address check in: 6 minutes (at 2026-12-07 00:06:00 +0000)");
    EXPECT_EQ(takeLog(), expected);

    const auto rememberedAfter = param.changed ? current : param.remembered;
    EXPECT_EQ(stored(keys::kLastExternalIPAddress),
              rememberedAfter ? std::optional(settings::Value(*rememberedAfter)) : std::nullopt);
    EXPECT_EQ(item_.image(), mailed ? std::optional("OrbalenStatusChange.tif"s) : std::nullopt);
    EXPECT_EQ(mail_.alerts().size(), mailed ? 2u : 0u);
    for (const auto& alert : mail_.alerts()) {
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

TEST_F(ExternalMonitorTest, NextCheckLineNamesTheIntervalAndTheMomentAhead) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {3, "6 minutes (at 2026-12-07 00:06:00 +0000)"},
        {10, "10 minutes (at 2026-12-07 00:10:00 +0000)"},
        {600, "546 minutes (at 2026-12-07 09:06:00 +0000)"},
    };
    pages_.answerAddress("203.0.113.7");
    for (const auto& [minutes, tail] : cases) {
        store(keys::kMinutesInterval, minutes);
        check();
        EXPECT_EQ(takeLog().back(), std::string("Next external IP address check in: ") + tail);
    }
}

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
    EXPECT_TRUE(mail_.alerts().empty());
}

}  // namespace
