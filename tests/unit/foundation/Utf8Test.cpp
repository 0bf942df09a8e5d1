#include "foundation/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Test, CutsNeverSplitACharacter) {
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x99\x82";  // a é € 🙂
    EXPECT_EQ(foundation::CutToCharacterBoundary(text, 2), "a");
    EXPECT_EQ(foundation::CutToCharacterBoundary(text, 3), "a\xc3\xa9");
    EXPECT_EQ(foundation::CutToCharacterBoundary(text, 9), "a\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(foundation::CutToCharacterBoundary(text, 100), text);
    // Malformed bytes count as one character each.
    EXPECT_EQ(foundation::CutToCharacterBoundary("\xff\xfe"
                                                 "abc",
                                                 3),
              "\xff\xfe"
              "a");
}

TEST(Utf8Test, LegacyTextIsReadAsMacRomanUnlessAlreadyUtf8) {
    EXPECT_EQ(foundation::DecodeLegacyText("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(foundation::DecodeLegacyText("caf\x8e"), "caf\xc3\xa9");
    EXPECT_EQ(foundation::DecodeLegacyText(std::string("\x80\0z", 3)),
              std::string("\xc3\x84\0z", 4));
    EXPECT_FALSE(foundation::IsValidUtf8("\xed\xa0\x80"));  // a surrogate
    EXPECT_FALSE(foundation::IsValidUtf8("\xc0\xaf"));      // overlong "/"
}

// Every byte from 0x80 up, alone and all together: the decoded text is
// sized before it is written, so a wrong size would cut or pad it.
TEST(Utf8Test, EveryMacRomanByteDecodesToValidUtf8OfTheRightSize) {
    std::string all;
    std::string oneByOne;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        const std::string decoded = foundation::DecodeLegacyText(one);
        ASSERT_TRUE(foundation::IsValidUtf8(decoded)) << byte;
        ASSERT_GE(decoded.size(), 2u) << byte;
        all += one;
        oneByOne += decoded;
    }
    EXPECT_EQ(foundation::DecodeLegacyText("x" + all + "y"), "x" + oneByOne + "y");
}

}  // namespace
