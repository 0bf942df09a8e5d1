// Cutting values out of texts, and turning fetched bytes into page text.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "netinfo/PageText.h"
#include "netinfo/StringExtensions.h"

namespace {

TEST(ExtractBetween, FirstStartThenFirstEndAfterItIgnoringCase) {
    const struct {
        const char* text;
        const char* start;
        const char* end;
        std::optional<std::string> wanted;
    } cases[] = {
        {"<body>Current IP Address: 10.0.0.1</body></html>\r\n",
         "current ip address: ", "</BODY></HTML>", "10.0.0.1"},
        {"[]", "[", "]", ""},
        {"a[1]b[2]", "[", "]", "1"},
        {"x[  y  ]", "[", "]", "  y  "},
        {"] before [", "[", "]", std::nullopt},
        {"a[b]c", "", "]", std::nullopt},
        {"a[b]c", "[", "", std::nullopt},
        {"ÉTAT: ok;", "état: ", ";", "ok"},
        // Invalid bytes are kept as they are and only match themselves.
        {"k\xff=v\xfe;", "\xff=", ";", "v\xfe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(netinfo::extractBetweenPattern(c.text, c.start, c.end), c.wanted) << c.text;
    }
}

TEST(TextTools, ReverseExtractTakesTheStartNearestBeforeTheFirstEnd) {
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("a[x]b[y]", "[", "]"), "x");
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("[[x]", "[", "]"), "x");
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("x] [y", "[", "]"), std::nullopt);
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("<A>v</a>", "<a>", "</A>"), "v");
    EXPECT_EQ(netinfo::cleanForFilename("a/b:c d"), "a-b-c d");
}

TEST(PageText, BodyNeverHoldsMoreThanTheCap) {
    constexpr std::size_t kCap = 100 * 1024;
    std::string body;
    const std::string piece(16 * 1024 + 3, 'x');
    while (netinfo::AppendCapped(body, piece, kCap)) {
        EXPECT_LE(body.capacity(), kCap);
    }
    EXPECT_EQ(body.size(), kCap / piece.size() * piece.size());  // the refused piece left no trace
    EXPECT_TRUE(netinfo::AppendCapped(body, std::string(kCap - body.size(), 'y'), kCap));
    EXPECT_LE(body.capacity(), kCap);
    EXPECT_FALSE(netinfo::AppendCapped(body, "z", kCap));
}

TEST(PageText, Utf8IsKeptOtherBytesAreMacRomanWithinTheCap) {
    std::string utf8 = "<html><body>caf\xC3\xA9</body></html>";
    const char* storage = utf8.data();
    std::optional<std::string> text = netinfo::PageText(std::move(utf8), 40);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "<html><body>caf\xC3\xA9</body></html>");
    EXPECT_EQ(text->data(), storage);  // moved, never copied

    EXPECT_EQ(netinfo::PageText("caf\x8E", 5), "caf\xC3\xA9");  // Mac OS Roman "é"
    EXPECT_EQ(netinfo::PageText("caf\x8E", 4), std::nullopt);   // the text would pass the cap
    EXPECT_EQ(netinfo::PageText(std::string(40'000, '\xA5'), 120'000)->size(), 120'000u);  // "•"
}

}  // namespace
