#include <gtest/gtest.h>

#include "netinfo/StringExtensions.h"

using netinfo::cleanForFilename;

namespace {

struct Case {
    const char* text;
    const char* start;
    const char* end;
    std::optional<std::string> wanted;
};

TEST(ExtractBetween, FirstStartThenFirstEndAfterItIgnoringCase) {
    const Case cases[] = {
        {"<body>Current IP Address: 10.0.0.1</body></html>\r\n",
         "current ip address: ", "</BODY></HTML>", "10.0.0.1"},
        {"[]", "[", "]", ""},
        {"a[1]b[2]", "[", "]", "1"},
        {"x[  y  ]", "[", "]", "  y  "},
        {"] before [", "[", "]", std::nullopt},
        {"no markers here", "[", "]", std::nullopt},
        {"a[b]c", "", "]", std::nullopt},
        {"a[b]c", "[", "", std::nullopt},
        {"ÉTAT: ok;", "état: ", ";", "ok"},
        // Invalid bytes are kept as they are and only match themselves.
        {"k\xff=v\xfe;", "\xff=", ";", "v\xfe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(netinfo::extractBetweenPattern(c.text, c.start, c.end), c.wanted) << c.text;
    }
}

TEST(ReverseExtractBetween, TakesTheStartNearestBeforeTheFirstEnd) {
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("a[x]b[y]", "[", "]"), "x");
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("[[x]", "[", "]"), "x");
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("x] [y", "[", "]"), std::nullopt);
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("<A>v</a>", "<a>", "</A>"), "v");
}

TEST(TextTools, FilenameCleaning) {
    EXPECT_EQ(cleanForFilename("a/b:c d"), "a-b-c d");
}

}  // namespace
