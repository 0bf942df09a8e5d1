#include "base/Utf8.h"

#include <gtest/gtest.h>

namespace {

using base::CutToCharacterBoundary;
using base::DecodeLegacyText;
using base::IsValidUtf8;

TEST(Utf8Test, CutsNeverSplitACharacter) {
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x99\x82";  // a é € 🙂
    EXPECT_EQ(CutToCharacterBoundary(text, 2), "a");
    EXPECT_EQ(CutToCharacterBoundary(text, 3), "a\xc3\xa9");
    EXPECT_EQ(CutToCharacterBoundary(text, 9), "a\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(CutToCharacterBoundary(text, 100), text);
    // Malformed bytes count as one character each.
    EXPECT_EQ(CutToCharacterBoundary("\xff\xfe-abc", 3), "\xff\xfe-");
}

// Every byte from 0x80 up, alone and all together: the decoded text is
// sized before it is written, so a wrong size would cut or pad it.
TEST(Utf8Test, LegacyTextIsReadAsMacRomanUnlessAlreadyUtf8) {
    EXPECT_EQ(DecodeLegacyText("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(DecodeLegacyText(std::string("\x8e\0z", 3)), std::string("\xc3\xa9\0z", 4));
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));  // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));      // overlong "/"
    std::string all, oneByOne;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        const std::string decoded = DecodeLegacyText(one);
        ASSERT_TRUE(IsValidUtf8(decoded) && decoded.size() >= 2) << byte;
        all += one;
        oneByOne += decoded;
    }
    EXPECT_EQ(DecodeLegacyText("x" + all + "y"), "x" + oneByOne + "y");
}

}  // namespace
