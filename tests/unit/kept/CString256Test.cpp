#include "base/CString256.h"

#include <climits>

#include "KeptTestSupport.h"

using namespace base;
using namespace kept;

namespace {

TEST(CString256, TextsStopAt255BytesSingleCharactersAt254AndNoCharacterIsSplit) {
    const std::string a254(254, 'a');
    CString256 s((a254 + "ab").c_str());
    s += s;
    EXPECT_EQ(TextOf(s), a254 + "a");
    CString256 s254(a254.c_str());
    s254 += "xyz";
    EXPECT_EQ(TextOf(s254), a254 + "x");
    CString256 s253(a254.substr(1).c_str());
    s253 += 'b';
    s253 += 'c';
    EXPECT_EQ(TextOf(s253), a254.substr(1) + "b");
    // A two-byte character that would straddle the capacity is left out whole.
    s = a254 + "\xC3\xA9tail";
    EXPECT_EQ(s.MakeCFString(), a254);
}

TEST(CString256, AbsentPascalByteBlockAndNumberSources) {
    CString256 s("old");
    s = static_cast<const unsigned char*>(nullptr);
    s += static_cast<const char*>(nullptr);
    EXPECT_EQ(TextOf(s), "");
    const unsigned char pascal[] = {3, 'a', 'b', 'c', 'z'};
    s = pascal;
    s += LONG_MIN;
    EXPECT_EQ(TextOf(s), "abc-9223372036854775808");
    s = ULLONG_MAX;
    EXPECT_EQ(TextOf(s), "18446744073709551615");
    // A byte block stops at its first NUL; an empty one assigns cleanly.
    s = std::vector<char>{'x', 'y', '\0', 'z'};
    EXPECT_EQ(TextOf(s), "xy");
    s = std::vector<char>{};
    EXPECT_EQ(TextOf(s), "");
}

TEST(CString256, AffixesFilterAndSuffixChange) {
    CString256 s("Hello.TXT"), abc("abc"), abcd("abcd");
    EXPECT_TRUE(s.beginsWith_nocase("hELL") && s.endsWith_nocase(".txt") && s.beginsWith(""));
    EXPECT_FALSE(s.beginsWith("hell") || s.endsWith(".txt") || abc.endsWith(&abcd));
    CString256 mixed(" a b\t1,\n2\x01!");
    mixed.filter_to_alnum_or_punct();
    EXPECT_EQ(TextOf(mixed), "ab1,2!");
    CString256 name("dir.d/file");  // from the last dot, even one in a folder name
    name.change_suffix("html");
    EXPECT_EQ(TextOf(name), "dir.html");
}

// The score of one matcher for a subject and a pattern ("*" separates wildcard pieces).
#define MATCH(member)                                            \
    [](const char* subject, const char* pattern) {               \
        float score = -1.0f;                                     \
        CString256(subject).member(CString256(pattern), &score); \
        return score;                                            \
    }
#define WILDCARD(member)                                  \
    [](const char* subject, const char* pattern) {        \
        CList<CString256> pieces;                         \
        CString256(pattern).parse_into_list("*", pieces); \
        float score = -1.0f;                              \
        CString256(subject).member(pieces, &score);       \
        return score;                                     \
    }

TEST(CStringMatch, ScoresOfTheMatchersAndWildcards) {
    struct Case {
        float (*match)(const char*, const char*);
        const char *subject, *pattern;
        float score;
    };
    const Case cases[] = {
        {MATCH(match_case_exact), "abc", "ABC", 0.0f},
        {MATCH(match_nocase_exact), "abc", "ABC", 1.0f},
        {MATCH(match_case_partial), "abc", "", 0.0f},
        {MATCH(match_case_approximate), "abc", "axc", 0.6666667f},
        {MATCH(match_case_approximate), "ab", "ba", 0.5f},  // out-of-order bytes do not count
        {MATCH(match_nocase_approximate), "ABC", "axc", 0.6666667f},
        {WILDCARD(match_wildcard_case), "report.final.TXT", "report*final*TXT", 1.0f},
        {WILDCARD(match_wildcard_case), "report.final.TXT", "final*report", 0.0f},
        {WILDCARD(match_wildcard_case), "report.final.TXT", "*txt", 0.0f},
        {WILDCARD(match_wildcard_nocase), "report.final.TXT", "REPORT*txt", 1.0f},
        {WILDCARD(match_wildcard_case), "ababa", "aba*aba", 0.0f},  // pieces may not overlap
        {WILDCARD(match_wildcard_case), "any", "", 1.0f},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.match(c.subject, c.pattern), c.score) << c.subject << " ~ " << c.pattern;
    }
    // The free form reads only the first 255 bytes of its pattern.
    float score = -1.0f;
    std::string longPattern = std::string(255, 'a') + "zzz";
    CString256(std::string(255, 'a').c_str())
        .match(matcher_case_exact_256, longPattern.data(), &score);
    EXPECT_EQ(score, 1.0f);
}

#undef MATCH
#undef WILDCARD

}  // namespace
