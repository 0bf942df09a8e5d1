#include "base/Conversions.h"

#include <climits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

using namespace base;

namespace {

template <typename T>
std::string Decimal(T value) {
    std::unique_ptr<char[]> text(itoa(value));
    return text ? text.get() : "(null)";
}

std::string Hfs(const std::string& posix) {
    CString256 path(posix.c_str());
    ConvertPosixPathToHFSPath(path);
    return path.c_str();
}

TEST(Itoa, EveryValueIncludingTheMostNegativeAndCutBuffers) {
    EXPECT_EQ(Decimal(0L), "0");
    EXPECT_EQ(Decimal(ULONG_MAX), "18446744073709551615");
    EXPECT_EQ(Decimal(LONG_MIN), "-9223372036854775808");
    EXPECT_EQ(Decimal(static_cast<short>(-32768)), "-32768");
    // A short buffer keeps the lowest digits.
    char buf[32];
    itoa(buf, 3, -12345L);
    EXPECT_STREQ(buf, "-45");
    itoa(buf, 31, 3000000000ULL);
    EXPECT_STREQ(buf, "3000000000");
    reverse(nullptr);  // ignored
}

TEST(UrlEncoding, BothFormsEncodeWhatTheirClassDoesNotAllow) {
    // The safe form keeps only the safe class and "&".
    const std::tuple<char* (*)(char*, unsigned char), unsigned char, const char*> cases[] = {
        {URLencode, ' ', "%20"},     {URLencode, 233, "%e9"},   {URLencode, '~', "~"},
        {URLSafeEncode, '~', "%7e"}, {URLSafeEncode, '&', "&"}, {URLSafeEncode, 0, "%00"}};
    for (const auto& [encode, c, encoded] : cases) {
        char dst[4];
        EXPECT_STREQ(encode(dst, c), encoded) << int(c);
    }
}

TEST(HfsPath, SwapsSeparatorsUnderTheRootVolumeAndTheInverseUndoesIt) {
    EXPECT_EQ(Hfs("/tmp/a:b//c/"), "Root:tmp:a/b:c");
    EXPECT_EQ(Hfs("relative/path"), "relative/path");
    std::string deep = "/" + std::string(251, 'd');  // "Root:" + 251 = 256 bytes
    EXPECT_EQ(Hfs(deep), deep);
    EXPECT_EQ(Hfs("/" + std::string(250, 'd')), "Root:" + std::string(250, 'd'));

    for (const char* posix : {"/", "/data/Kestrune Software/a:b.log", "/x/with/slash:and:colons"}) {
        const std::string hfs = Hfs(posix);
        ASSERT_NE(hfs, posix) << "converted";
        EXPECT_EQ(ConvertHFSPathToPosixPath(hfs), std::string(posix));
    }
    EXPECT_EQ(ConvertHFSPathToPosixPath("/already/posix"), "/already/posix");
    for (const char* bad : {"", "relative", "Other:x", "Rootless:x", "Root::x", "Root:x:"}) {
        EXPECT_FALSE(ConvertHFSPathToPosixPath(bad)) << bad;
    }
}

}  // namespace
