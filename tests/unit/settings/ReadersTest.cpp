#include "settings/Readers.h"

#include "SettingsTestFolders.h"
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

TEST_F(ReadersTest, FlagIsOnOnlyForAStoredTrueBoolean) {
    EXPECT_FALSE(settings::ReadFlag(keys::kTitleIconOnly));
    const std::pair<const char*, bool> cases[] = {
        {"true", true}, {"false", false}, {"1", false}, {"1.0", false}, {"\"YES\"", false},
    };
    for (const auto& [json, expected] : cases) {
        store(keys::kTitleIconOnly, json);
        EXPECT_EQ(settings::ReadFlag(keys::kTitleIconOnly), expected) << json;
    }
}

TEST_F(ReadersTest, MinutesIntervalStaysWithinItsBounds) {
    EXPECT_EQ(settings::ReadMinutesInterval(), 6);
    const std::pair<const char*, int> cases[] = {
        {"0", 6},       {"5", 6},     {"-3", 6},     {"6", 6},       {"30", 30},
        {"7.9", 7},     {"546", 546}, {"547", 546},  {"70000", 546}, {"-70000", 6},
        {"1e300", 546}, {"true", 6},  {"\"30\"", 6},
    };
    for (const auto& [json, expected] : cases) {
        store(keys::kMinutesInterval, json);
        EXPECT_EQ(settings::ReadMinutesInterval(), expected) << json;
        EXPECT_EQ(settings::ReadMinutesIntervalInSeconds(), expected * 60) << json;
    }
}

// Each reader's default when absent, a present value, and a mistyped one.
TEST_F(ReadersTest, OtherReadersFallBackOnAbsentOrMistypedValues) {
    const auto all = [] {
        using namespace settings;
        return std::tuple(ReadUseSSL(), ReadLogToSystemConsole(), ReadLogToPrivateConsoleLog(),
                          ReadAllowUntrustedCertificates(), ReadInitialRefresh(),
                          ReadLastExternalIPAddress(), ReadExternalIPLookupURL());
    };
    const auto defaults =
        std::tuple(true, true, true, false, std::int64_t{20}, std::string("0.0.0.0"),
                   std::string("http://checkip.dyndns.org/"));
    EXPECT_EQ(all(), defaults);
    ReplaceFile(userFile(), R"({"useSSL": false, "logToSystemConsole": 0,
        "logToPrivateConsoleLog": "NO", "allowUntrustedCertificates": true, "Initial Refresh": 45,
        "LastExternalIPAddress": "-.-.-.-", "ExternalIPLookupURL": "http://127.0.0.1:8080/ip"})");
    EXPECT_EQ(all(), std::tuple(false, false, false, true, std::int64_t{45}, std::string("-.-.-.-"),
                                std::string("http://127.0.0.1:8080/ip")));
    ReplaceFile(userFile(), R"({"LastExternalIPAddress": 17, "ExternalIPLookupURL": ""})");
    EXPECT_EQ(all(), defaults);
}

}  // namespace
