#include <gtest/gtest.h>

#include "mail/NotificationBody.h"
#include "mail/SenderSettings.h"

namespace mail {
namespace {

TEST(NotificationBodyTest, ValuesAreNeverReadAsFormats) {
    EXPECT_EQ(FillPlaceholders("%@ and %@ at 100%%", {"%@", "%s%n"}), "%@ and %s%n at 100%");
    EXPECT_EQ(FillPlaceholders("%@ %@ %@", {"only"}), "only  ");
}

TEST(SenderSettingsTest, PortAcceptsWholeNumbersFromOneTo65535) {
    EXPECT_EQ(PortFromSetting(std::nullopt), 25);
    EXPECT_EQ(PortFromSetting(settings::Value(std::string("587"))), 587);
    EXPECT_EQ(PortFromSetting(settings::Value(std::string(" 2525 "))), 2525);
    EXPECT_EQ(PortFromSetting(settings::Value(std::int64_t{465})), 465);
    EXPECT_EQ(PortFromSetting(settings::Value(std::string("65535"))), 65535);
    EXPECT_EQ(PortFromSetting(settings::Value(std::string("40000"))), 40000);  // beyond 16 bits
    for (const settings::Value& bad :
         {settings::Value(std::string("")), settings::Value(std::string("smtp")),
          settings::Value(std::string("0")), settings::Value(std::string("-25")),
          settings::Value(std::string("65536")),
          settings::Value(std::string("99999999999999999999999")), settings::Value(true)}) {
        EXPECT_FALSE(PortFromSetting(bad)) << DescribeValue(bad);
    }
}

TEST(SenderSettingsTest, AuthenticationModeReadsNumbersAndDigitStrings) {
    EXPECT_EQ(IntValueOf(settings::Value(std::int64_t{2})), 2);
    EXPECT_EQ(IntValueOf(settings::Value(1.0)), 1);
    EXPECT_EQ(IntValueOf(settings::Value(std::string("1"))), 1);
    EXPECT_FALSE(IntValueOf(settings::Value(std::string("PLAIN"))));
}

}  // namespace
}  // namespace mail
