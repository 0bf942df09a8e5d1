#include "platform/SystemEncoding.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemEncodingTest, CutsNeverSplitACharacter) {
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x99\x82";  // a é € 🙂
    EXPECT_EQ(platform::CutToCharacterBoundary(text, 2), "a");
    EXPECT_EQ(platform::CutToCharacterBoundary(text, 3), "a\xc3\xa9");
    EXPECT_EQ(platform::CutToCharacterBoundary(text, 9), "a\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(platform::CutToCharacterBoundary(text, 100), text);
    // Malformed bytes count as one character each.
    EXPECT_EQ(platform::CutToCharacterBoundary("\xff\xfe"
                                               "abc",
                                               3),
              "\xff\xfe"
              "a");
}

TEST(SystemEncodingTest, LegacyTextIsReadAsMacRomanUnlessAlreadyUtf8) {
    EXPECT_EQ(platform::DecodeLegacyText("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(platform::DecodeLegacyText("caf\x8e"), "caf\xc3\xa9");
    EXPECT_FALSE(platform::IsValidUtf8("\xed\xa0\x80"));  // a surrogate
    EXPECT_FALSE(platform::IsValidUtf8("\xc0\xaf"));      // overlong "/"
}

}  // namespace
