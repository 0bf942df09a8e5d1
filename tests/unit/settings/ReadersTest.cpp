// The readers of each setting, and the conversions they share.
#include "settings/Readers.h"

#include <limits>

#include "SettingsTestFolders.h"
#include "settings/MailReaders.h"
#include "settings/SettingsKeys.h"
#include "settings/ValueConversions.h"

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

TEST(MailReadersTest, PortIsAWholeNumberFromOneTo65535) {
    using V = settings::Value;
    EXPECT_EQ(settings::MailPortFromValue(std::nullopt).port, 25);
    EXPECT_EQ(settings::MailPortFromValue(V(std::string("587"))).port, 587);
    EXPECT_EQ(settings::MailPortFromValue(V(std::string(" 2525 "))).port, 2525);
    EXPECT_EQ(settings::MailPortFromValue(V(std::int64_t{465})).port, 465);
    EXPECT_EQ(settings::MailPortFromValue(V(std::string("40000"))).port, 40000);  // beyond 16 bits
    for (const V& bad :
         {V(std::string("")), V(std::string("0")), V(std::string("-25")), V(std::string("65536")),
          V(std::string("99999999999999999999999")), V(true)}) {
        EXPECT_FALSE(settings::MailPortFromValue(bad).port) << settings::DescribeValue(bad);
    }
}

using Int = std::int64_t;
using Limits = std::numeric_limits<Int>;
using Text = std::string;

TEST(ValueConversions, BoolOfReadsAsTheUserDefaultsDo) {
    const Value yes[] = {true,      Int{2},    0.5,       Text("yes"),   Text("TRUE"),    Text("Y"),
                         Text("t"), Text("2"), Text("9"), Text(" -005"), Text("\t Yikes")};
    const Value no[] = {false,       Int{0},      0.0,    Text("NO"), Text("false"),
                        Text("000"), Text("0.5"), Text(), Text("on")};
    for (const Value& value : yes) {
        EXPECT_TRUE(settings::BoolOf(value)) << ::testing::PrintToString(value);
    }
    for (const Value& value : no) {
        EXPECT_FALSE(settings::BoolOf(value)) << ::testing::PrintToString(value);
    }
}

// IntegerOf reads loosely (text and booleans too), NumberOf numbers only.
TEST(ValueConversions, IntegerOfReadsLooselyAndNumberOfNumbersOnly) {
    const struct {
        Value value;
        std::optional<Int> loose, number;
    } cases[] = {
        {Int{-42}, -42, -42},
        {7.9, 7, 7},
        {1e300, Int{9200000000000000000}, Int{9200000000000000000}},  // saturates
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt, std::nullopt},
        {true, 1, std::nullopt},
        {Text(" +587abc"), 587, std::nullopt},
        {Text("-12"), -12, std::nullopt},
        {Text("port"), std::nullopt, std::nullopt},
        {Text("-"), std::nullopt, std::nullopt},
        {Text("99999999999999999999"), Limits::max(), std::nullopt},
        {Text("-99999999999999999999"), Limits::min(), std::nullopt},
        {Text("-9223372036854775808"), Limits::min(), std::nullopt},
    };
    for (const auto& [value, loose, number] : cases) {
        EXPECT_EQ(settings::IntegerOf(value), loose) << ::testing::PrintToString(value);
        EXPECT_EQ(settings::NumberOf(value), number) << ::testing::PrintToString(value);
    }
}

}  // namespace
