#include "netinfo/PageText.h"

#include <gtest/gtest.h>

#include <string>

namespace netinfo {
namespace {

TEST(PageTextTest, BodyNeverHoldsMoreThanTheCap) {
    constexpr std::size_t kCap = 100 * 1024;
    std::string body;
    const std::string piece(16 * 1024 + 3, 'x');
    while (AppendCapped(body, piece, kCap)) {
        EXPECT_LE(body.capacity(), kCap);
    }
    EXPECT_EQ(body.size(), kCap / piece.size() * piece.size());  // the refused piece left no trace
    EXPECT_TRUE(AppendCapped(body, std::string(kCap - body.size(), 'y'), kCap));
    EXPECT_LE(body.capacity(), kCap);
    EXPECT_FALSE(AppendCapped(body, "z", kCap));
}

TEST(PageTextTest, Utf8IsKeptOtherBytesAreMacRomanWithinTheCap) {
    std::string utf8 = "<html><body>caf\xC3\xA9</body></html>";
    const char* storage = utf8.data();
    std::optional<std::string> text = PageText(std::move(utf8), 40);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "<html><body>caf\xC3\xA9</body></html>");
    EXPECT_EQ(text->data(), storage);  // moved, never copied

    EXPECT_EQ(PageText("caf\x8E", 5), "caf\xC3\xA9");  // Mac OS Roman "é"
    EXPECT_EQ(PageText("caf\x8E", 4), std::nullopt);   // the text would pass the cap
    EXPECT_EQ(PageText(std::string(40'000, '\xA5'), 120'000)->size(), 120'000u);  // "•", 3 bytes
}

}  // namespace
}  // namespace netinfo
