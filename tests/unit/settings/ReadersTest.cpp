// The readers of each setting, and the conversions they share.
#include "settings/Readers.h"

#include <limits>

#include "SettingsTestFolders.h"
#include "settings/MailReaders.h"
#include "settings/SettingsKeys.h"

namespace keys = settings::keys;

namespace {

class ReadersTest : public SettingsTestFolders {
protected:
    // Written to the file the way another process (the tool) would, so each
    // reader must synchronize to see it.
    void store(std::string_view key, const std::string& json) {
        ReplaceFile(userFile(), "{\"" + std::string(key) + "\": " + json + "}");
    }
};

// A flag of the panel is on only for a stored true; a user default reads any
// value as the user defaults do (text by its first letter or digit).
TEST_F(ReadersTest, FlagsReadOnlyWhatTheyShould) {
    const std::tuple<const char*, bool, bool> cases[] = {
        {"true", true, true},      {"false", false, false},       {"1", false, true},
        {"0.5", false, true},      {"0", false, false},           {"\"YES\"", false, true},
        {"\"t\"", false, true},    {"\"\\t -009\"", false, true}, {"\"000\"", false, false},
        {"\"0.5\"", false, false}, {"\"on\"", false, false},      {"\"\"", false, false},
    };
    for (const auto& [json, flag, userDefault] : cases) {
        ReplaceFile(userFile(),
                    std::string(R"({"TitleIconOnly": )") + json + R"(, "useSSL": )" + json + "}");
        EXPECT_EQ(settings::ReadFlag(keys::kTitleIconOnly), flag) << json;
        EXPECT_EQ(settings::ReadUseSSL(), userDefault) << json;
    }
}

// Numbers only, bounded before narrowing to 16 bits, saturating when huge.
TEST_F(ReadersTest, MinutesIntervalStaysWithinItsBounds) {
    EXPECT_EQ(settings::ReadMinutesInterval(), 6);
    const std::pair<const char*, int> cases[] = {
        {"5", 6},       {"6", 6},       {"7.9", 7},  {"546", 546},  {"547", 546},
        {"70000", 546}, {"1e300", 546}, {"true", 6}, {"\"30\"", 6},
    };
    for (const auto& [json, expected] : cases) {
        store(keys::kMinutesInterval, json);
        EXPECT_EQ(settings::ReadMinutesInterval(), expected) << json;
        EXPECT_EQ(settings::ReadMinutesIntervalInSeconds(), expected * 60) << json;
    }
}

// Each reader finds its own key, and falls back on its default (the settings
// table's, which the documents carry) when the value is mistyped.
TEST_F(ReadersTest, OtherReadersFallBackOnAbsentOrMistypedValues) {
    const auto all = [] {
        using namespace settings;
        return std::tuple(ReadUseSSL(), ReadLogToSystemConsole(), ReadLogToPrivateConsoleLog(),
                          ReadAllowUntrustedCertificates(), ReadInitialRefresh(),
                          ReadLastExternalIPAddress(), ReadExternalIPLookupURL());
    };
    const auto defaults = all();
    ReplaceFile(userFile(), R"({"useSSL": false, "logToSystemConsole": 0,
        "logToPrivateConsoleLog": "NO", "allowUntrustedCertificates": true, "Initial Refresh": 45,
        "LastExternalIPAddress": "-.-.-.-", "ExternalIPLookupURL": "http://127.0.0.1:8080/ip"})");
    EXPECT_EQ(all(), std::tuple(false, false, false, true, std::int64_t{45}, std::string("-.-.-.-"),
                                std::string("http://127.0.0.1:8080/ip")));
    ReplaceFile(userFile(), R"({"LastExternalIPAddress": 17, "ExternalIPLookupURL": ""})");
    EXPECT_EQ(all(), defaults);
}

// Integers read loosely (leading digits of text, booleans as 0 or 1), saturating
// at either limit of 64 bits, both of which are reachable.
TEST_F(ReadersTest, IntegersReadLooselyAndSaturate) {
    using Limits = std::numeric_limits<std::int64_t>;
    const std::pair<const char*, std::int64_t> cases[] = {
        {"\" +587abc\"", 587},
        {"true", 1},
        {"\"99999999999999999999\"", Limits::max()},
        {"\"-99999999999999999999\"", Limits::min()},
        {"\"-9223372036854775808\"", Limits::min()}};
    for (const auto& [json, expected] : cases) {
        store(keys::kInitialRefresh, json);
        EXPECT_EQ(settings::ReadInitialRefresh(), expected) << json;
    }
}

TEST(MailReadersTest, PortIsAWholeNumberFromOneTo65535) {
    using V = settings::Value;
    EXPECT_EQ(settings::MailPortFromValue(std::nullopt).port, 25);
    EXPECT_EQ(settings::MailPortFromValue(V(std::string(" 2525 "))).port, 2525);
    EXPECT_EQ(settings::MailPortFromValue(V(std::int64_t{40000})).port, 40000);  // beyond 16 bits
    for (const V& bad : {V(std::string("")), V(std::string("0")), V(std::string("65536")),
                         V(std::string("99999999999999999999999")), V(true),
                         V(std::numeric_limits<double>::quiet_NaN())}) {
        EXPECT_FALSE(settings::MailPortFromValue(bad).port) << settings::DescribeValue(bad);
    }
}

}  // namespace
