#include "prefpane/FieldChecks.h"

#include <gtest/gtest.h>

namespace prefpane {
namespace {

TEST(FieldChecksTest, PortIsOneTo65535) {
    for (const char* good : {"25", "1", "65535", " 587 ", "+465"}) {
        EXPECT_FALSE(PortProblem(good)) << good;
    }
    for (const char* bad :
         {"", "0", "65536", "-25", "25a", "smtp", "2 5", "99999999999999999999"}) {
        EXPECT_TRUE(PortProblem(bad)) << bad;
    }
}

TEST(FieldChecksTest, IntervalIsAWholeNumberThatFitsSixteenBits) {
    EXPECT_EQ(ParseInterval("3"), 3);
    EXPECT_EQ(ParseInterval(" 60 "), 60);
    EXPECT_EQ(ParseInterval("-1"), -1) << "the reader raises it to 6; it is a number";
    EXPECT_EQ(ParseInterval("32767"), 32767);
    for (const char* bad : {"", "six", "6.5", "32768", "6 min"}) {
        EXPECT_FALSE(ParseInterval(bad)) << bad;
        EXPECT_TRUE(IntervalProblem(bad)) << bad;
    }
}

TEST(FieldChecksTest, RecipientsArePlainAddressesBetweenCommas) {
    for (const char* good : {"", "me@example.org", "a@x.org, b@y.org", "a@x.org,,", " , "}) {
        EXPECT_FALSE(RecipientsProblem(good)) << good;
    }
    for (const char* bad : {"me", "a@x.org, nobody", "<a@x.org>", "a@x.org;b@y.org", "@x.org",
                            "a@b@c", "a b@x.org"}) {
        const auto problem = RecipientsProblem(bad);
        ASSERT_TRUE(problem) << bad;
        EXPECT_NE(problem->find("e-mail address"), std::string::npos);
    }
}

}  // namespace
}  // namespace prefpane
