#include "base/Conversions.h"
#include "base/Utf8.h"

#include <climits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

using namespace base;

namespace {

TEST(Itoa, TheExtremesInFullAndTheLowestDigitsOfACutBuffer) {
    EXPECT_STREQ(std::unique_ptr<char[]>(itoa(0L)).get(), "0");
    EXPECT_STREQ(std::unique_ptr<char[]>(itoa(LONG_MIN)).get(), "-9223372036854775808");
    char buf[32];
    itoa(buf, 3, -12345L);
    EXPECT_STREQ(buf, "-45");
    itoa(buf, 31, ULLONG_MAX);
    EXPECT_STREQ(buf, "18446744073709551615");
}

TEST(HfsPath, SwapsSeparatorsWithinTheCapAndTheInverseUndoesIt) {
    auto hfs = [](const std::string& posix) {
        CString256 path(posix.c_str());
        ConvertPosixPathToHFSPath(path);
        return std::string(path.c_str());
    };
    const std::string d250(250, 'd');
    EXPECT_EQ(hfs("/tmp/a:b//c/"), "Root:tmp:a/b:c");
    EXPECT_EQ(hfs("/" + d250), "Root:" + d250);
    EXPECT_EQ(hfs("/d" + d250), "/d" + d250);  // "Root:" and 251 bytes would not fit
    EXPECT_EQ(ConvertHFSPathToPosixPath("Root:x:a/b"), "/x/a:b");
    EXPECT_EQ(ConvertHFSPathToPosixPath("Root"), "/");
    EXPECT_EQ(ConvertHFSPathToPosixPath("/left/as/is"), "/left/as/is");
    for (const char* bad : {"", "relative", "Rootless:x", "Root::x", "Root:x:"}) {
        EXPECT_FALSE(ConvertHFSPathToPosixPath(bad)) << bad;
    }
}

TEST(Utf8Test, CutsNeverSplitACharacterAndLegacyTextDecodesInFull) {
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x99\x82";  // a é € 🙂
    EXPECT_EQ(CutToCharacterBoundary(text, 2), "a");
    EXPECT_EQ(CutToCharacterBoundary(text, 3), "a\xc3\xa9");
    EXPECT_EQ(CutToCharacterBoundary(text, 9), "a\xc3\xa9\xe2\x82\xac");
    // Malformed bytes count as one character each.
    EXPECT_EQ(CutToCharacterBoundary("\xff\xfe-abc", 3), "\xff\xfe-");

    // Legacy text is Mac Roman unless already UTF-8. Every byte from 0x80 up, alone and
    // all together: the text is sized before it is written, so a wrong size cuts or pads.
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
