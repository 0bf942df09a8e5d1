#include "prefpane/FieldChecks.h"

#include <gtest/gtest.h>

#include <vector>

namespace prefpane {
namespace {

TEST(FieldChecksTest, EachFieldTakesOnlyWhatItsSettingCanUse) {
    using Check = std::optional<std::string> (*)(std::string_view);
    const std::tuple<Check, std::vector<const char*>, std::vector<const char*>> fields[] = {
        {PortProblem,
         {"25", "1", "65535", " 587 ", "+465"},
         {"", "0", "65536", "-25", "25a", "smtp", "2 5", "99999999999999999999"}},
        // A whole number that fits 16 bits; the reader raises -1 to the minimum.
        {IntervalProblem, {"3", " 60 ", "-1", "32767"}, {"", "six", "6.5", "32768", "6 min"}},
        {RecipientsProblem,
         {"", "me@example.org", "a@x.org, b@y.org", "a@x.org,,", " , "},
         {"me", "a@x.org, nobody", "<a@x.org>", "a@x.org;b@y.org", "@x.org", "a@b@c", "a b@x.org"}},
    };
    for (const auto& [check, good, bad] : fields) {
        for (const char* text : good) {
            EXPECT_FALSE(check(text)) << text;
        }
        for (const char* text : bad) {
            EXPECT_TRUE(check(text)) << text;
        }
    }
    EXPECT_EQ(ParseInterval(" 60 "), 60);
    EXPECT_EQ(ParseInterval("-1"), -1);
    EXPECT_NE(RecipientsProblem("a b@x.org")->find("e-mail address"), std::string::npos);
}

}  // namespace
}  // namespace prefpane
