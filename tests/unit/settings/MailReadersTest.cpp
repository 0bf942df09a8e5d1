#include "settings/MailReaders.h"

#include <gtest/gtest.h>

namespace settings {
namespace {

TEST(MailReadersTest, PortIsAWholeNumberFromOneTo65535) {
    using V = settings::Value;
    EXPECT_EQ(MailPortFromValue(std::nullopt).port, 25);
    EXPECT_EQ(MailPortFromValue(V(std::string("587"))).port, 587);
    EXPECT_EQ(MailPortFromValue(V(std::string(" 2525 "))).port, 2525);
    EXPECT_EQ(MailPortFromValue(V(std::int64_t{465})).port, 465);
    EXPECT_EQ(MailPortFromValue(V(std::string("40000"))).port, 40000);  // beyond 16 bits
    for (const V& bad :
         {V(std::string("")), V(std::string("0")), V(std::string("-25")), V(std::string("65536")),
          V(std::string("99999999999999999999999")), V(true)}) {
        EXPECT_FALSE(MailPortFromValue(bad).port) << DescribeValue(bad);
    }
}

}  // namespace
}  // namespace settings
