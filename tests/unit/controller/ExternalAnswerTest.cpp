#include "controller/ExternalAnswer.h"

#include <gtest/gtest.h>

#include "CaseName.h"

#include <optional>
#include <string>

namespace {

struct AnswerCase {
    const char* name;
    std::string page;
    std::optional<std::string> address;
};
PRINT_CASE_BY_NAME(AnswerCase)

class AddressFromLookupPageTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AddressFromLookupPageTest, OnlyADottedQuadBetweenTheMarkersIsTaken) {
    EXPECT_EQ(controller::AddressFromLookupPage(GetParam().page), GetParam().address);
}

const AnswerCase kAnswerCases[] = {
    {"Plain", "<body>Current IP Address: 203.0.113.7</body></html>", "203.0.113.7"},
    {"BlanksTrimmed", "Current IP Address: \t 10.1.2.3 \n</body></html>", "10.1.2.3"},
    {"FirstOccurrence",
     "Current IP Address: 1.2.3.4</body></html>Current IP Address: 5.6.7.8</body></html>",
     "1.2.3.4"},
    {"NoEndMarker", "Current IP Address: 1.2.3.4</body>", std::nullopt},
    {"NoStartMarker", "IP: 1.2.3.4</body></html>", std::nullopt},
    {"Empty", "Current IP Address: </body></html>", std::nullopt},
    {"OctetTooLarge", "Current IP Address: 1.2.3.256</body></html>", std::nullopt},
    {"ThreeParts", "Current IP Address: 1.2.3</body></html>", std::nullopt},
    {"IPv6", "Current IP Address: 2001:db8::1</body></html>", std::nullopt},
    {"Markup", "Current IP Address: <b>1.2.3.4</b></body></html>", std::nullopt},
    {"LineBreakInside", "Current IP Address: 1.2.3.4\nX-Header: y</body></html>", std::nullopt},
    {"NulInside", std::string("Current IP Address: 1.2.3.4\0evil</body></html>", 46), std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Pages, AddressFromLookupPageTest, ::testing::ValuesIn(kAnswerCases),
                         CaseName());

}  // namespace
