#include "settings/ValueConversions.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/CaseName.h"

using settings::Value;

namespace {

using Int = std::int64_t;
using Limits = std::numeric_limits<Int>;

struct BoolCase {
    const char* name;
    Value value;
    bool expected;
};
PRINT_CASE_BY_NAME(BoolCase)

class BoolOfTest : public ::testing::TestWithParam<BoolCase> {};

TEST_P(BoolOfTest, ReadsAsTheUserDefaultsDo) {
    EXPECT_EQ(settings::BoolOf(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BoolOfTest,
    ::testing::Values(BoolCase{"True", Value(true), true}, BoolCase{"False", Value(false), false},
                      BoolCase{"Two", Value(Int{2}), true}, BoolCase{"Zero", Value(Int{0}), false},
                      BoolCase{"Half", Value(0.5), true}, BoolCase{"RealZero", Value(0.0), false},
                      BoolCase{"Yes", Value(std::string("yes")), true},
                      BoolCase{"TRUE", Value(std::string("TRUE")), true},
                      BoolCase{"Y", Value(std::string("Y")), true},
                      BoolCase{"t", Value(std::string("t")), true},
                      BoolCase{"Digit2", Value(std::string("2")), true},
                      BoolCase{"Digit9", Value(std::string("9")), true},
                      BoolCase{"SignedZerosThenDigit", Value(std::string(" -005")), true},
                      BoolCase{"BlanksThenY", Value(std::string("\t Yikes")), true},
                      BoolCase{"No", Value(std::string("NO")), false},
                      BoolCase{"FalseWord", Value(std::string("false")), false},
                      BoolCase{"Zeros", Value(std::string("000")), false},
                      BoolCase{"ZeroPointFive", Value(std::string("0.5")), false},
                      BoolCase{"Empty", Value(std::string()), false},
                      BoolCase{"OtherWord", Value(std::string("on")), false}),
    CaseName());

struct IntegerCase {
    const char* name;
    Value value;
    std::optional<Int> loose;   // IntegerOf
    std::optional<Int> number;  // NumberOf
};
PRINT_CASE_BY_NAME(IntegerCase)

class IntegerOfTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerOfTest, ReadsLooselyOrAsANumberOnly) {
    EXPECT_EQ(settings::IntegerOf(GetParam().value), GetParam().loose);
    EXPECT_EQ(settings::NumberOf(GetParam().value), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerOfTest,
    ::testing::Values(
        IntegerCase{"Whole", Value(Int{-42}), -42, -42},
        IntegerCase{"RealTruncated", Value(7.9), 7, 7},
        IntegerCase{"HugeRealSaturates", Value(1e300), Int{9200000000000000000},
                    Int{9200000000000000000}},
        IntegerCase{"NotANumber", Value(std::numeric_limits<double>::quiet_NaN()), std::nullopt,
                    std::nullopt},
        IntegerCase{"BoolTrue", Value(true), 1, std::nullopt},
        IntegerCase{"DigitsThenText", Value(std::string(" +587abc")), 587, std::nullopt},
        IntegerCase{"Negative", Value(std::string("-12")), -12, std::nullopt},
        IntegerCase{"NoDigits", Value(std::string("port")), std::nullopt, std::nullopt},
        IntegerCase{"SignAlone", Value(std::string("-")), std::nullopt, std::nullopt},
        IntegerCase{"TooLargeSaturates", Value(std::string("99999999999999999999")), Limits::max(),
                    std::nullopt},
        IntegerCase{"TooSmallSaturates", Value(std::string("-99999999999999999999")), Limits::min(),
                    std::nullopt},
        IntegerCase{"Smallest", Value(std::string("-9223372036854775808")), Limits::min(),
                    std::nullopt}),
    CaseName());

}  // namespace
