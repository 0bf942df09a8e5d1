#include "controller/ExternalAnswer.h"

#include <gtest/gtest.h>

#include "support/CaseName.h"

#include <optional>
#include <string>
#include <vector>

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
    {"BlanksTrimmed", "<body>Current IP Address: \t 10.1.2.3 \n</body></html>", "10.1.2.3"},
    {"NoEndMarker", "Current IP Address: 1.2.3.4</body>", std::nullopt},
    {"OctetTooLarge", "Current IP Address: 1.2.3.256</body></html>", std::nullopt},
    {"IPv6", "Current IP Address: 2001:db8::1</body></html>", std::nullopt},
    {"TrailingWords", "Current IP Address: 1.2.3.4 and more</body></html>", std::nullopt},
    {"Markup", "Current IP Address: <b>1.2.3.4</b></body></html>", std::nullopt},
    {"LineBreakInside", "Current IP Address: 1.2.3.4\nX-Header: y</body></html>", std::nullopt},
    {"NulInside", std::string("Current IP Address: 1.2.3.4\0evil</body></html>", 46), std::nullopt},
    // Services that answer with the bare address.
    {"PlainTextWithLineBreak", "\r\n 203.0.113.7\n", "203.0.113.7"},
    {"PlainTextWithWords", "ip=203.0.113.7\n", std::nullopt},
    {"EmptyBody", "", std::nullopt},
    // A broken marker page is not read as plain text.
    {"StartMarkerInOtherCaseOnly", "current ip address: 1.2.3.4", std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Pages, AddressFromLookupPageTest, ::testing::ValuesIn(kAnswerCases),
                         CaseName());

struct URLListCase {
    const char* name;
    std::string setting;
    std::vector<std::string> urls;
};
PRINT_CASE_BY_NAME(URLListCase)

class LookupURLsTest : public ::testing::TestWithParam<URLListCase> {};

TEST_P(LookupURLsTest, BlanksSeparateTheURLsInOrder) {
    EXPECT_EQ(controller::LookupURLs(GetParam().setting), GetParam().urls);
}

const URLListCase kURLListCases[] = {
    {"One", "http://a/ip", {"http://a/ip"}},
    {"Two", "http://a/ip https://b/", {"http://a/ip", "https://b/"}},
    {"MixedBlanksAround", " \thttp://a/\r\n  https://b/ \n", {"http://a/", "https://b/"}},
    {"OnlyBlanks", " \t ", {}},
};
INSTANTIATE_TEST_SUITE_P(Settings, LookupURLsTest, ::testing::ValuesIn(kURLListCases), CaseName());

}  // namespace
