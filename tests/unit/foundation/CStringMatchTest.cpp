#include "FoundationTestSupport.h"

using namespace foundation;

namespace {

float Score(void (CString256::*member)(const CString256&, float*) const noexcept,
            const char* subject, const char* pattern) {
    float score = -1.0f;
    (CString256(subject).*member)(CString256(pattern), &score);
    return score;
}

CList<CString256>& Pieces(CList<CString256>& list, const char* wildcard) {
    CString256(wildcard).parse_into_list("*", list);
    return list;
}

TEST(CStringMatch, ScoresOfTheTextMatchers) {
    using S = CString256;
    EXPECT_EQ(Score(&S::match_case_exact, "abc", "abc"), 1.0f);
    EXPECT_EQ(Score(&S::match_case_exact, "abc", "ABC"), 0.0f);
    EXPECT_EQ(Score(&S::match_nocase_exact, "abc", "ABC"), 1.0f);
    EXPECT_EQ(Score(&S::match_case_exact, "", ""), 0.0f);
    EXPECT_EQ(Score(&S::match_case_partial, "xxabcxx", "abc"), 1.0f);
    EXPECT_EQ(Score(&S::match_nocase_partial, "xxabcxx", "ABC"), 1.0f);
    EXPECT_EQ(Score(&S::match_case_partial, "abc", ""), 0.0f);

    EXPECT_EQ(Score(&S::match_case_approximate, "abc", "axc"), 0.6666667f);
    EXPECT_EQ(Score(&S::match_case_approximate, "hello", "hello"), 1.0f);
    EXPECT_EQ(Score(&S::match_case_approximate, "abc", "xyz"), 0.0f);
    EXPECT_EQ(Score(&S::match_case_approximate, "", "abc"), 0.0f);
    EXPECT_EQ(Score(&S::match_case_approximate, "", ""), 0.0f);
    // Out-of-order bytes do not count: "ba" in "ab" finds only the b.
    EXPECT_EQ(Score(&S::match_case_approximate, "ab", "ba"), 0.5f);
    EXPECT_EQ(Score(&S::match_case_approximate, "ABC", "axc"), 0.0f);
    EXPECT_EQ(Score(&S::match_nocase_approximate, "ABC", "axc"), 0.6666667f);
}

TEST(CStringMatch, WildcardPiecesMustAppearInOrderWithoutOverlap) {
    CList<CString256> list;
    float score = -1.0f;
    CString256 subject("report-2024.final.TXT");
    subject.match_wildcard_case(Pieces(list, "report*final*TXT"), &score);
    EXPECT_EQ(score, 1.0f);
    subject.match_wildcard_case(Pieces(list, "final*report"), &score);
    EXPECT_EQ(score, 0.0f);
    subject.match_wildcard_case(Pieces(list, "*txt"), &score);
    EXPECT_EQ(score, 0.0f);
    subject.match_wildcard_nocase(Pieces(list, "REPORT*txt"), &score);
    EXPECT_EQ(score, 1.0f);
    CString256("ababa").match_wildcard_case(Pieces(list, "aba*aba"), &score);
    EXPECT_EQ(score, 0.0f);
    list.clear();
    subject.match_wildcard_case(list, &score);
    EXPECT_EQ(score, 1.0f);
}

TEST(CStringMatch, FreeMatchersTakeTheFirst255BytesOfTheirText) {
    float score = -1.0f;
    char pattern[] = "status report";
    CString256("Status Report").match(matcher_nocase_exact_256, pattern, &score);
    EXPECT_EQ(score, 1.0f);
    std::string longPattern = std::string(255, 'a') + "zzz";
    CString256(std::string(255, 'a').c_str())
        .match(matcher_case_exact_256, longPattern.data(), &score);
    EXPECT_EQ(score, 1.0f);

    CList<CString256> list;
    char text[] = "one two three";
    match_wildcard_nocase_256(text, &Pieces(list, "ONE*THREE"), &score);
    EXPECT_EQ(score, 1.0f);
    match_wildcard_case_256(text, &list, &score);
    EXPECT_EQ(score, 0.0f);
}

TEST(CaseInsensitiveSearch, StrstrRestartsAndStrncmpGivesTheRawDifference) {
    const char* text = "xxabcxx";
    EXPECT_EQ(STRSTR(text, "ABC"), text + 2);
    EXPECT_EQ(STRSTR(text, ""), text);
    EXPECT_EQ(STRSTR(text, "abd"), nullptr);
    const char* repeats = "aaab";
    EXPECT_EQ(STRSTR(repeats, "AAB"), repeats + 1);
    EXPECT_EQ(STRSTR("ab", "abc"), nullptr);
    EXPECT_EQ(STRSTR(static_cast<const char*>(nullptr), "a"), nullptr);

    EXPECT_EQ(STRNCMP("Hello", "hELLO", 5), 0);
    EXPECT_EQ(STRNCMP("abc", "ABC", 10), 0);
    EXPECT_EQ(STRNCMP("abcX", "abcY", 3), 0);
    EXPECT_EQ(STRNCMP("a", "B", 1), 'a' - 'B');
    EXPECT_LT(STRNCMP("ab", "abc", 3), 0);
}

}  // namespace
