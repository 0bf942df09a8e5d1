#include "foundation/CString256.h"

#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/CList.h"

namespace {

CString256 Repeated(char c, std::size_t n) {
    return CString256(std::string(n, c).c_str());
}

std::vector<std::string> Values(const CList<CString256>& list) {
    std::vector<std::string> out;
    for (const elem<CString256>* e = list.head; e != nullptr; e = e->next) {
        out.emplace_back(e->value.c_str());
    }
    return out;
}

}  // namespace

TEST(CString256Capacity, CopyKeepsFirst255BytesAndAppendFillsTo255) {
    std::string text300 = std::string(255, 'a') + std::string(45, 'b');
    CString256 s;
    s = text300.c_str();
    EXPECT_EQ(s.c_str(), std::string(255, 'a'));

    CString256 s254 = Repeated('a', 254);
    s254 += "xyz";
    EXPECT_EQ(s254.length(), 255u);
    EXPECT_EQ(s254[254], 'x');

    CString256 full = Repeated('a', 255);
    full += full;
    EXPECT_EQ(full.length(), 255u);
}

TEST(CString256Capacity, SingleCharactersStopAt254Bytes) {
    CString256 s = Repeated('a', 253);
    s += 'b';
    EXPECT_EQ(s.length(), 254u);
    s += 'c';
    EXPECT_EQ(s.length(), 254u);
    EXPECT_EQ(s[253], 'b');
}

TEST(CString256Assign, NullPointersGiveOrAppendNothing) {
    CString256 s(static_cast<const char*>(nullptr));
    EXPECT_STREQ(s.c_str(), "");
    s = "abc";
    s += static_cast<const char*>(nullptr);
    s += static_cast<const unsigned char*>(nullptr);
    EXPECT_STREQ(s.c_str(), "abc");
    s = static_cast<const unsigned char*>(nullptr);
    EXPECT_STREQ(s.c_str(), "");
}

TEST(CString256Assign, PascalStringsAndByteBlocksCopyRawBytes) {
    const unsigned char pascal[] = {3, 'a', 'b', 'c', 'z'};
    CString256 s(pascal);
    EXPECT_STREQ(s.c_str(), "abc");
    s += pascal;
    EXPECT_STREQ(s.c_str(), "abcabc");

    s = std::vector<char>{'x', 'y', '\0', 'z'};
    EXPECT_STREQ(s.c_str(), "xy");
    s = std::vector<char>{};
    EXPECT_STREQ(s.c_str(), "");
}

TEST(CString256Assign, OverlongUtf8IsCutOnACharacterBoundary) {
    // 254 ASCII bytes then a two-byte character that would straddle the capacity.
    std::string text = std::string(254, 'a') + "\xC3\xA9" + "tail";
    CString256 s;
    s = text;
    EXPECT_EQ(s.length(), 254u);
    EXPECT_EQ(s.MakeCFString(), std::string(254, 'a'));

    s = std::string("caf\xC3\xA9");
    s += std::string("!");
    EXPECT_EQ(s.MakeCFString(), "caf\xC3\xA9!");
}

TEST(CString256Assign, NumbersGiveTheirFullDecimalText) {
    CString256 s;
    s = LONG_MIN;
    EXPECT_STREQ(s.c_str(), "-9223372036854775808");
    s = -2147483648L;
    EXPECT_STREQ(s.c_str(), "-2147483648");
    s = 3000000000ULL;
    EXPECT_STREQ(s.c_str(), "3000000000");
    s = ULLONG_MAX;
    EXPECT_STREQ(s.c_str(), "18446744073709551615");
    s = "n=";
    s += -7L;
    EXPECT_STREQ(s.c_str(), "n=-7");
}

TEST(CString256Text, BeginsAndEndsWith) {
    CString256 s("Hello.TXT");
    EXPECT_FALSE(s.beginsWith("hell"));
    EXPECT_TRUE(s.beginsWith_nocase("hELL"));
    EXPECT_TRUE(s.beginsWith(""));
    EXPECT_TRUE(s.endsWith_nocase(".txt"));
    EXPECT_FALSE(s.endsWith(".txt"));
    CString256 abc("abc"), abcd("abcd");
    EXPECT_FALSE(abc.endsWith(&abcd));
    EXPECT_TRUE(abcd.endsWith("bcd", 0));
}

TEST(CString256Text, FilterKeepsLettersDigitsAndPunctuationInOrder) {
    CString256 s(" a b\t1,\n2\x01!");
    s.filter_to_alnum_or_punct();
    EXPECT_STREQ(s.c_str(), "ab1,2!");
}

TEST(CString256Text, ParseAndFlattenLists) {
    CList<CString256> list;
    list.append("stale");
    CString256 text(",,a,,b,");
    text.parse_into_list(",", list);
    EXPECT_EQ(Values(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_STREQ(text.c_str(), ",,a,,b,");

    CString256("x y\tz").parse_into_list(" \t", list);
    EXPECT_EQ(list.count, 3);
    CString256 joined("old");
    joined.flatten_list(',', list);
    EXPECT_STREQ(joined.c_str(), "x,y,z");

    list.clear();
    joined.flatten_list(',', list);
    EXPECT_STREQ(joined.c_str(), "");
    CString256(",,,").parse_into_list(",", list);
    EXPECT_EQ(list.count, 0);
}

TEST(CString256Text, ChangeSuffixCutsAtTheLastDot) {
    const char* cases[][2] = {{"page.txt", "page.html"},
                              {"archive.tar.gz", "archive.tar.html"},
                              {"notes", "notes.html"},
                              {"dir.d/file", "dir.html"}};
    for (auto& c : cases) {
        CString256 s(c[0]);
        s.change_suffix("html");
        EXPECT_STREQ(s.c_str(), c[1]) << c[0];
    }
}

TEST(CString256Print, AppendsALineToABufferOrFile) {
    char buffer[64] = "first\n";
    CString256("second").print(buffer);
    EXPECT_STREQ(buffer, "first\nsecond\n");

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(Repeated('z', 255).print(fds[1]), 0);
    char read_back[300] = {};
    EXPECT_EQ(read(fds[0], read_back, sizeof read_back), 256);
    EXPECT_EQ(read_back[255], '\n');
    close(fds[0]);
    close(fds[1]);
    EXPECT_NE(CString256("x").print(fds[1]), 0) << "a closed descriptor reports its error";
}
