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

TEST_F(ReadersTest, StringReadersFallBackOnAbsentOrMistypedValues) {
    EXPECT_EQ(settings::ReadLastExternalIPAddress(), "0.0.0.0");
    store(keys::kLastExternalIPAddress, "\"-.-.-.-\"");
    EXPECT_EQ(settings::ReadLastExternalIPAddress(), "-.-.-.-");
    store(keys::kLastExternalIPAddress, "17");
    EXPECT_EQ(settings::ReadLastExternalIPAddress(), "0.0.0.0");

    EXPECT_EQ(settings::ReadExternalIPLookupURL(), "http://checkip.dyndns.org/");
    store(keys::kExternalIPLookupURL, "\"\"");
    EXPECT_EQ(settings::ReadExternalIPLookupURL(), "http://checkip.dyndns.org/");
    store(keys::kExternalIPLookupURL, "\"http://127.0.0.1:8080/ip\"");
    EXPECT_EQ(settings::ReadExternalIPLookupURL(), "http://127.0.0.1:8080/ip");
}

TEST_F(ReadersTest, UserDefaultsMeanYesWhenAbsentAndFollowAPresentValue) {
    EXPECT_TRUE(settings::ReadUseSSL());
    EXPECT_TRUE(settings::ReadLogToSystemConsole());
    EXPECT_TRUE(settings::ReadLogToPrivateConsoleLog());
    EXPECT_FALSE(settings::ReadAllowUntrustedCertificates());
    EXPECT_EQ(settings::ReadInitialRefresh(), 20);

    ReplaceFile(userFile(),
                R"({"useSSL": false, "logToSystemConsole": 0, "logToPrivateConsoleLog": "NO",
                    "allowUntrustedCertificates": true, "Initial Refresh": 45})");
    EXPECT_FALSE(settings::ReadUseSSL());
    EXPECT_FALSE(settings::ReadLogToSystemConsole());
    EXPECT_FALSE(settings::ReadLogToPrivateConsoleLog());
    EXPECT_TRUE(settings::ReadAllowUntrustedCertificates());
    EXPECT_EQ(settings::ReadInitialRefresh(), 45);
}

}  // namespace
