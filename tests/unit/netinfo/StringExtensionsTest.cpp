#include <gtest/gtest.h>

#include "netinfo/StringExtensions.h"
#include "netinfo/TextDecoding.h"

namespace {

constexpr const char* kStart = "Current IP Address: ";
constexpr const char* kEnd = "</body></html>";

TEST(ExtractBetween, CutsTheLookupPageAnswer) {
    const std::string page =
        "<html><head><title>Current IP Check</title></head><body>Current IP Address: "
        "10.0.0.1</body></html>\r\n";
    EXPECT_EQ(extractBetweenPattern(page, kStart, kEnd), "10.0.0.1");
    EXPECT_EQ(extractBetweenPattern(page, "current ip address: ", "</BODY></HTML>"), "10.0.0.1");
}

TEST(ExtractBetween, EdgeCasesOfMarkers) {
    EXPECT_EQ(extractBetweenPattern("[]", "[", "]"), "");
    EXPECT_EQ(extractBetweenPattern("a[1]b[2]", "[", "]"), "1");
    EXPECT_EQ(extractBetweenPattern("] before [", "[", "]"), std::nullopt);
    EXPECT_EQ(extractBetweenPattern("no markers here", "[", "]"), std::nullopt);
    EXPECT_EQ(extractBetweenPattern("a[b]c", "", "]"), std::nullopt);
    EXPECT_EQ(extractBetweenPattern("a[b]c", "[", ""), std::nullopt);
    EXPECT_EQ(extractBetweenPattern("x[  y  ]", "[", "]"), "  y  ");
}

TEST(ExtractBetween, CaseFoldingIsUnicodeAwareAndKeepsBytes) {
    EXPECT_EQ(extractBetweenPattern("ÉTAT: ok;", "état: ", ";"), "ok");
    // Invalid bytes are kept as they are and only match themselves.
    EXPECT_EQ(extractBetweenPattern("k\xff=v\xfe;", "\xff=", ";"), "v\xfe");
}

TEST(ReverseExtractBetween, TakesTheStartNearestBeforeTheFirstEnd) {
    EXPECT_EQ(reverseExtractBetweenPattern("a[x]b[y]", "[", "]"), "x");
    EXPECT_EQ(reverseExtractBetweenPattern("[[x]", "[", "]"), "x");
    EXPECT_EQ(reverseExtractBetweenPattern("x] [y", "[", "]"), std::nullopt);
    EXPECT_EQ(reverseExtractBetweenPattern("<A>v</a>", "<a>", "</A>"), "v");
}

TEST(CleanForFilename, ReplacesSlashAndColonOnly) {
    EXPECT_EQ(cleanForFilename("a/b:c d"), "a-b-c d");
}

TEST(TextDecoding, FallsBackToMacRomanForInvalidUTF8) {
    EXPECT_EQ(netinfo::DecodeUTF8OrMacRoman("caf\xc3\xa9"), "café");
    // Latin-1 "café" is not UTF-8; in Mac OS Roman byte 0xE9 is "È".
    EXPECT_EQ(netinfo::DecodeUTF8OrMacRoman("caf\xe9"), "caf\xc3\x88");
    EXPECT_EQ(netinfo::DecodeUTF8OrMacRoman(std::string("\x80\0z", 3)),
              std::string("\xc3\x84\0z", 4));
    EXPECT_EQ(netinfo::DecodeUTF8OrMacRoman(""), "");
}

}  // namespace
