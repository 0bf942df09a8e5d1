#include "ControllerTest.h"

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

    const bool sent = param.changed && param.mailAndIcon;
    Lines expected = {"Checking external IP",
                      "Loading external IP address...(from "s + kLookupURL + ")"};
    for (const auto& [logged, line] : std::initializer_list<std::pair<bool, std::string>>{
             {current != "-.-.-.-", "External ip = " + current},
             {true, "Current external IP address: " + current},
             {true, "Last external IP address: " + last},
             {param.changed, "External IP address changed from:" + last + " to:" + current},
             {sent, "Sending email alerts"},
             {sent, "sender started for: ops@example.org"},
             {sent, "sender started for:  noc@example.org"},
             {sent, "sender started for: "},
             {true, "Next external IP address check in: 6 minutes (at 2026-12-07 00:06:00 +0000)"},
         }) {
        if (logged) {
            expected.push_back(line);
        }
    }
    EXPECT_EQ(takeLog(), expected);

    const auto after = param.changed ? current : param.remembered;
    EXPECT_EQ(stored(keys::kLastExternalIPAddress),
              after ? std::optional<settings::Value>(*after) : std::nullopt);
    EXPECT_EQ(item_.image, sent ? std::optional("OrbalenStatusChange.tif"s) : std::nullopt);
    EXPECT_EQ(mailed(), Lines(sent ? 3 : 0, last + ">" + current));
    EXPECT_EQ(sent ? alerts_.at(0).kind : mail::MailKind::External, mail::MailKind::External);
}

const CheckCase kCheckCases[] = {
    {"SameAddress", Page("203.0.113.7"), "203.0.113.7", "203.0.113.7", false},
    {"AddressChanged", Page("198.51.100.2"), "203.0.113.7", "198.51.100.2", true},
    {"FirstCheckEver", Page("203.0.113.7"), std::nullopt, "203.0.113.7", true},
    {"ServiceUnreachable", std::nullopt, "203.0.113.7", "-.-.-.-", true},
    {"StillUnreachable", std::nullopt, "-.-.-.-", "-.-.-.-", false},
    {"ChangedWithMailAndIconOff", Page("198.51.100.2"), "203.0.113.7", "198.51.100.2", true, false},
    // Only a dotted quad between the markers, or alone on a page without them.
    {"BlanksTrimmed", Page(" \t 10.1.2.3 \n"), "10.1.2.3", "10.1.2.3", false},
    {"NoEndMarker", "Current IP Address: 10.1.2.3</body>", "-.-.-.-", "-.-.-.-", false},
    {"TrailingWords", Page("10.1.2.3 and more"), "-.-.-.-", "-.-.-.-", false},
    {"NulInside", Page(std::string("10.1.2.3\0evil", 13)), "-.-.-.-", "-.-.-.-", false},
    {"MarkerInOtherCaseIsNoPlainText", "current ip address: 10.1.2.3", "-.-.-.-", "-.-.-.-", false},
};
INSTANTIATE_TEST_SUITE_P(Answers, ExternalCheckTest, ::testing::ValuesIn(kCheckCases), CaseName());

constexpr const char* kDown = "http://127.0.0.1:8080/down";
constexpr const char* kPlain = "https://192.0.2.53/plain";

// Services are asked in order until one answers (all again while none does);
// the cache is cleared every five minutes, naming the last to answer.
TEST_F(ExternalMonitorTest, LookupServicesAreAskedInOrderAndClearedEveryFiveMinutes) {
    const auto clearing = [](const char* host) {
        return "Clearing external IP address. (The next check will ask \""s + host + "\" again.)";
    };
    store({{keys::kExternalIPLookupURL, " \t\n"s}});  // blanks alone name no service
    controller().clearExternalIPAddress();
    store({{keys::kExternalIPLookupURL, " \t"s + kDown + "\r\n  " + kPlain + " \n"}});
    controller().clearExternalIPAddress();  // none has answered yet: the first is named
    EXPECT_EQ(takeLog(), (Lines{clearing(""), clearing("127.0.0.1:8080")}));
    pages_[kDown] = std::nullopt;
    pages_[kPlain] = "203.0.113.7\n";
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
