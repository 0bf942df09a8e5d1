#include "foundation/Conversions.h"

#include <climits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

using namespace foundation;

namespace {

template <typename T>
std::string Decimal(T value) {
    std::unique_ptr<char[]> text(itoa(value));
    return text ? text.get() : "(null)";
}

std::string Encoded(char* (*encode)(char*, unsigned char), unsigned char c) {
    char dst[4];
    return encode(dst, c);
}

std::string Elapsed(unsigned long seconds, const char* before = "") {
    CString256 out(before);
    ElapsedTimeMessage(seconds, out);
    return out.c_str();
}

std::string Hfs(const std::string& posix) {
    CString256 path(posix.c_str());
    ConvertPosixPathToHFSPath(path);
    return path.c_str();
}

}  // namespace

TEST(Itoa, EveryValueIncludingTheMostNegativeAndCutBuffers) {
    EXPECT_EQ(Decimal(0L), "0");
    EXPECT_EQ(Decimal(-45L), "-45");
    EXPECT_EQ(Decimal(ULONG_MAX), "18446744073709551615");
    EXPECT_EQ(Decimal(LONG_MIN), "-9223372036854775808");
    EXPECT_EQ(Decimal(static_cast<short>(-32768)), "-32768");

    // A short buffer keeps the lowest digits.
    char buf[32];
    itoa(buf, 3, 12345L);
    EXPECT_STREQ(buf, "45");
    itoa(buf, 3, -12345L);
    EXPECT_STREQ(buf, "-45");
    itoa(buf, 31, -2147483648L);
    EXPECT_STREQ(buf, "-2147483648");
    itoa(buf, 31, 3000000000ULL);
    EXPECT_STREQ(buf, "3000000000");
    reverse(nullptr);  // ignored
}

TEST(UrlEncoding, OnlySpaceControlsAndHighBytesNeedEncoding) {
    int needing = 0;
    for (int c = 0; c < 256; ++c) {
        needing += NeedsURLEncoding(static_cast<unsigned char>(c));
    }
    EXPECT_EQ(needing, 32 + 1 + 1 + 128);
    EXPECT_EQ(Encoded(URLencode, ' '), "%20");
    EXPECT_EQ(Encoded(URLencode, '\n'), "%0a");
    EXPECT_EQ(Encoded(URLencode, 233), "%e9");
    EXPECT_EQ(Encoded(URLencode, '~'), "~");
    // The safe form keeps only the safe class and "&".
    EXPECT_EQ(Encoded(URLSafeEncode, '~'), "%7e");
    EXPECT_EQ(Encoded(URLSafeEncode, '&'), "&");
    EXPECT_EQ(Encoded(URLSafeEncode, '/'), "%2f");
    EXPECT_EQ(Encoded(URLSafeEncode, 0), "%00");
}

TEST(ElapsedTime, PhrasesEachNonZeroUnit) {
    EXPECT_EQ(Elapsed(3661), "1 hr 1 min 1 sec ");
    EXPECT_EQ(Elapsed(7200), "2 hrs ");
    EXPECT_EQ(Elapsed(59), "59 secs ");
    EXPECT_EQ(Elapsed(0, "stale"), "0 secs");
    EXPECT_EQ(Elapsed(120, "next in "), "next in 2 mins ");
}

TEST(HfsPath, SwapsSeparatorsUnderTheRootVolume) {
    EXPECT_EQ(Hfs("/home/ann/.local/share/OrbalenStatus.log"),
              "Root:home:ann:.local:share:OrbalenStatus.log");
    EXPECT_EQ(Hfs("/tmp/a:b//c/"), "Root:tmp:a/b:c");
    EXPECT_EQ(Hfs("/"), "Root");
    EXPECT_EQ(Hfs("relative/path"), "relative/path");
    std::string deep = "/" + std::string(251, 'd');  // "Root:" + 251 = 256 bytes
    EXPECT_EQ(Hfs(deep), deep);
    std::string fits = "/" + std::string(250, 'd');
    EXPECT_EQ(Hfs(fits), "Root:" + std::string(250, 'd'));
}

TEST(HfsPath, TheInverseUndoesTheColonSeparatedForm) {
    for (const char* posix : {"/", "/home/ann/OrbalenStatus.log", "/data/Kestrune Software/a:b.log",
                              "/x/with/slash:and:colons"}) {
        const std::string hfs = Hfs(posix);
        ASSERT_NE(hfs, posix) << "converted";
        EXPECT_EQ(ConvertHFSPathToPosixPath(hfs), std::string(posix));
    }
    EXPECT_EQ(ConvertHFSPathToPosixPath("/already/posix"), "/already/posix");
    for (const char* bad : {"", "relative", "Other:x", "Rootless:x", "Root::x", "Root:x:"}) {
        EXPECT_FALSE(ConvertHFSPathToPosixPath(bad)) << bad;
    }
}
