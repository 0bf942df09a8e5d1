#include "foundation/CString256.h"

#include <unistd.h>

#include <climits>

#include "FoundationTestSupport.h"

using foundation::CList;
using foundation::CString256;

namespace {

CString256 Repeated(char c, std::size_t n) {
    return CString256(std::string(n, c).c_str());
}

TEST(CString256, TextsStopAt255BytesAndSingleCharactersAt254) {
    CString256 s;
    s = (std::string(255, 'a') + std::string(45, 'b')).c_str();
    EXPECT_EQ(TextOf(s), std::string(255, 'a'));
    s += s;
    EXPECT_EQ(s.length(), 255u);

    CString256 s254 = Repeated('a', 254);
    s254 += "xyz";
    EXPECT_EQ(s254.length(), 255u);
    EXPECT_EQ(s254[254], 'x');

    CString256 s253 = Repeated('a', 253);
    s253 += 'b';
    s253 += 'c';
    EXPECT_EQ(s253.length(), 254u);
    EXPECT_EQ(s253[253], 'b');

    // 254 ASCII bytes then a two-byte character that would straddle the capacity.
    s = std::string(254, 'a') + "\xC3\xA9tail";
    EXPECT_EQ(s.MakeCFString(), std::string(254, 'a'));
}

TEST(CString256, NullPascalAndByteBlockSources) {
    CString256 s(static_cast<const char*>(nullptr));
    EXPECT_EQ(TextOf(s), "");
    const unsigned char pascal[] = {3, 'a', 'b', 'c', 'z'};
    s = pascal;
    s += pascal;
    s += static_cast<const char*>(nullptr);
    s += static_cast<const unsigned char*>(nullptr);
    EXPECT_EQ(TextOf(s), "abcabc");
    s = static_cast<const unsigned char*>(nullptr);
    EXPECT_EQ(TextOf(s), "");

    s = std::vector<char>{'x', 'y', '\0', 'z'};
    EXPECT_EQ(TextOf(s), "xy");
    s = std::vector<char>{};
    EXPECT_EQ(TextOf(s), "");
}

TEST(CString256, NumbersGiveTheirFullDecimalText) {
    CString256 s;
    s = LONG_MIN;
    EXPECT_EQ(TextOf(s), "-9223372036854775808");
    s = ULLONG_MAX;
    EXPECT_EQ(TextOf(s), "18446744073709551615");
    s = "n=";
    s += -7L;
    EXPECT_EQ(TextOf(s), "n=-7");
}

TEST(CString256, PrefixSuffixAndFilter) {
    CString256 s("Hello.TXT");
    EXPECT_FALSE(s.beginsWith("hell"));
    EXPECT_TRUE(s.beginsWith_nocase("hELL"));
    EXPECT_TRUE(s.beginsWith(""));
    EXPECT_TRUE(s.endsWith_nocase(".txt"));
    EXPECT_FALSE(s.endsWith(".txt"));
    CString256 abc("abc"), abcd("abcd");
    EXPECT_FALSE(abc.endsWith(&abcd));

    CString256 mixed(" a b\t1,\n2\x01!");
    mixed.filter_to_alnum_or_punct();
    EXPECT_EQ(TextOf(mixed), "ab1,2!");
}

TEST(CString256, ParseAndFlattenLists) {
    CList<CString256> list;
    list.append("stale");
    CString256 text(",,a,,b,");
    text.parse_into_list(",", list);
    EXPECT_EQ(TextsOf(list), (Texts{"a", "b"}));
    EXPECT_EQ(TextOf(text), ",,a,,b,");

    CString256("x y\tz").parse_into_list(" \t", list);
    CString256 joined("old");
    joined.flatten_list(',', list);
    EXPECT_EQ(TextOf(joined), "x,y,z");

    list.clear();
    joined.flatten_list(',', list);
    EXPECT_EQ(TextOf(joined), "");
    CString256(",,,").parse_into_list(",", list);
    EXPECT_EQ(list.count, 0);
}

TEST(CString256, ChangeSuffixCutsAtTheLastDot) {
    const char* cases[][2] = {{"page.txt", "page.html"},
                              {"archive.tar.gz", "archive.tar.html"},
                              {"notes", "notes.html"},
                              {"dir.d/file", "dir.html"}};
    for (auto& c : cases) {
        CString256 s(c[0]);
        s.change_suffix("html");
        EXPECT_EQ(TextOf(s), c[1]) << c[0];
    }
}

TEST(CString256, PrintWritesTheTextAndALineFeed) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(Repeated('z', 255).print(fds[1]), 0);
    char readBack[300] = {};
    EXPECT_EQ(read(fds[0], readBack, sizeof readBack), 256);
    EXPECT_EQ(readBack[255], '\n');
    close(fds[0]);
    close(fds[1]);
    EXPECT_NE(CString256("x").print(fds[1]), 0) << "a closed descriptor reports its error";
}

}  // namespace
