#include "settings/ValueConversions.h"

#include <gtest/gtest.h>

#include <limits>

using settings::Value;

namespace {

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
