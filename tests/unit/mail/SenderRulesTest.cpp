#include <gtest/gtest.h>

#include "mail/NotificationBody.h"
#include "mail/SenderSettings.h"

namespace mail {
namespace {

TEST(NotificationBodyTest, ValuesAreNeverReadAsFormats) {
    EXPECT_EQ(FillPlaceholders("%@ and %@ at 100%%", {"%@", "%s%n"}), "%@ and %s%n at 100%");
    EXPECT_EQ(FillPlaceholders("%@ %@ %@", {"only"}), "only  ");
}

TEST(SenderSettingsTest, PortIsAWholeNumberFromOneTo65535) {
    using V = settings::Value;
    EXPECT_EQ(PortFromSetting(std::nullopt), 25);
    EXPECT_EQ(PortFromSetting(V(std::string("587"))), 587);
    EXPECT_EQ(PortFromSetting(V(std::string(" 2525 "))), 2525);
    EXPECT_EQ(PortFromSetting(V(std::int64_t{465})), 465);
    EXPECT_EQ(PortFromSetting(V(std::string("40000"))), 40000);  // beyond 16 bits
    for (const V& bad :
         {V(std::string("")), V(std::string("0")), V(std::string("-25")), V(std::string("65536")),
          V(std::string("99999999999999999999999")), V(true)}) {
        EXPECT_FALSE(PortFromSetting(bad)) << DescribeValue(bad);
    }
}

TEST(SenderSettingsTest, AuthenticationModeReadsNumbersAndDigitStrings) {
    EXPECT_EQ(IntValueOf(settings::Value(1.0)), 1);
    EXPECT_EQ(IntValueOf(settings::Value(std::string("2"))), 2);
    EXPECT_FALSE(IntValueOf(settings::Value(std::string("PLAIN"))));
}

}  // namespace
}  // namespace mail
