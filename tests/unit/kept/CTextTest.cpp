#include <functional>

#include "KeptTestSupport.h"

using base::CList;
using base::CString256;
using kept::CText;

namespace {

TEST(CText, CapacityStepsAtTheQuantumAndABadQuantumFallsBackToTheDefault) {
    // A quantum below 1 would divide by zero.
    EXPECT_EQ(CText("abc", 0L).capacity, 32000);
    EXPECT_EQ(CText("abc", -5L).quantum, 32000);
    CText t(std::string(31999, 'x').c_str());
    t += 'y';
    EXPECT_EQ(t.capacity, 64000);
    EXPECT_EQ(Bytes(t).substr(31998), "xy");
    EXPECT_EQ(t.text[32000], '\0');
}

TEST(CText, AppendsKeepRawBytesAndSurviveTheirOwnBuffer) {
    CText t("ab", 4L);
    t.append("\0c", 2);
    // The source lies in the buffer that the growth moves.
    t.append(t.text, t.length);
    t += t;
    EXPECT_EQ(Bytes(t), std::string("ab\0cab\0cab\0cab\0c", 16));
    t.insert_pattern(2L, t.text);  // up to its first NUL: "ab"
    EXPECT_EQ(Bytes(t).substr(0, 6), std::string("abab\0c", 6));
    // A shrinking request never cuts into the text.
    EXPECT_EQ(t.resize_by(-1000), 0);
    EXPECT_EQ(t.length, 18);
}

TEST(CText, RangesOutsideTheTextAreClampedOrAbsent) {
    const char* s = "abc";
    CText range(s + 1, s);  // ends before it starts: absent until appended to
    EXPECT_EQ(range.find_pattern("a"), -1);
    range += 'z';
    EXPECT_EQ(Bytes(range), "z");
    CText t("hello");
    EXPECT_EQ(Bytes(*t.extract_between(1, 3)), "ell");
    EXPECT_EQ(Bytes(*t.extract_between(-5, 99)), "hello");
    EXPECT_EQ(Bytes(*t.extract_between(7, 9)), "<absent>");
    t.remove_range(7L, 9L);
    t.remove_range(3L, 99L);
    EXPECT_EQ(Bytes(t), "hel");
}

TEST(CText, ReadingTurnsNulBytesIntoSpacesAndWritingLeavesExactlyTheText) {
    TempFolder folder;
    const auto file = folder / "page";
    WriteText(file, std::string("a\0b\0", 4));
    CText loaded("keep");
    EXPECT_NE(loaded << (folder / "none").c_str(), 0);
    EXPECT_EQ(Bytes(loaded), "keep");
    EXPECT_EQ(loaded << file.c_str(), 0);
    EXPECT_EQ(Bytes(loaded), "a b ");

    const auto out = folder / "out";
    EXPECT_NE(CText("short") >> out, 0);  // an existing file only
    EXPECT_FALSE(std::filesystem::exists(out));
    WriteText(out, "a much longer earlier content");
    EXPECT_EQ(CText("short") >> out, 0);
    EXPECT_EQ(ReadText(out), "short");
}

// One pattern member applied to a text: the text afterwards, the output, the result.
struct PatternCase {
    const char* name;
    std::function<int(CText&, CText&)> apply;
    const char* found;   // text after the call on "x<b>keep</b>y"
    const char* output;  // output on that text, "" for members without one
};

// Members without a result count as having found their pair.
#define EDIT(call) [](CText& t, CText&) { return t.call, 1; }
#define EXTRACT(call) [](CText& t, CText& o) { return t.call; }

const PatternCase kPatternCases[] = {
    {"remove", EDIT(remove_between_patterns("<b>", "</b>")), "x<b></b>y", ""},
    {"remove_inclusive", EDIT(remove_between_patterns_inclusive("<b>", "</b>")), "xy", ""},
    {"remove_inclusive_nocase", EDIT(remove_between_patterns_inclusive_nocase("<B>", "</B>")), "xy",
     ""},
    {"replace_nocase", EDIT(replace_between_patterns_nocase("<B>", "</b>", "new")), "x<b>new</b>y",
     ""},
    {"replace_inclusive", EDIT(replace_between_patterns_inclusive("<b>", "</b>", "N")), "xNy", ""},
    {"replace_inclusive_nocase",
     EDIT(replace_between_patterns_inclusive_nocase("<B>", "</B>", "N")), "xNy", ""},
    {"extract", EXTRACT(extract_between_patterns("<b>", "</b>", o)), "x<b>keep</b>y", "keep"},
    {"extract_inclusive", EXTRACT(extract_between_patterns_nocase_inclusive("<B>", "</B>", o)),
     "x<b>keep</b>y", "<b>keep</b>"},
    {"extract_remove", EXTRACT(extract_and_remove_between_patterns("<b>", "</b>", o)), "xy",
     "keep"},
    {"extract_remove_not_inclusive",
     EXTRACT(extract_and_remove_between_patterns_nocase_not_inclusive("<B>", "</B>", o)),
     "x<b></b>y", "keep"},
    {"extract_replace", EXTRACT(extract_and_replace_between_patterns("<b>", "</b>", "N", o)), "xNy",
     "keep"},
};

#undef EDIT
#undef EXTRACT

TEST(CTextPatterns, EveryMemberOnAFoundPairAMissingMarkerAndReversedMarkers) {
    for (const auto& c : kPatternCases) {
        SCOPED_TRACE(c.name);
        CText t("x<b>keep</b>y");
        CText out("stale");
        EXPECT_EQ(c.apply(t, out), 1);
        EXPECT_EQ(Bytes(t), c.found);
        if (*c.output != '\0') {
            EXPECT_EQ(Bytes(out), c.output);
        }
        for (const char* unmatched : {"x<b>keep y", "x keep</b>y", "x</b>keep<b>y"}) {
            CText u(unmatched);
            CText none("stale");
            const int missing = c.apply(u, none);
            EXPECT_EQ(Bytes(u), unmatched);
            if (*c.output != '\0') {
                EXPECT_EQ(missing, 0);
                EXPECT_EQ(Bytes(none), "");
            }
        }
    }
}

TEST(CTextPatterns, CaseOffsetAndRemovingAllPairs) {
    CText out;
    EXPECT_EQ(CText("x<B>keep</B>y").extract_between_patterns("<b>", "</b>", out), 0);
    EXPECT_EQ(CText("<a>1</a>").extract_between_patterns(99, "<a>", "</a>", out), 0);
    CText all("a<b>1</b>b<B>2</b>c<b>open");
    all.remove_between_patterns_inclusive_all_nocase("<b>", "</b>");
    EXPECT_EQ(Bytes(all), "abc<b>open");
    // Removing a pair can join two halves of a new opening pattern.
    CText seam("<<b>x</b>b>y</b>z");
    seam.remove_between_patterns_inclusive_all_nocase("<b>", "</b>");
    EXPECT_EQ(Bytes(seam), "z");
    CText empty("abc");
    empty.remove_between_patterns_inclusive_all_nocase("", "");  // must end
    EXPECT_EQ(Bytes(empty), "abc");
    CText region("<i>1</i>[<I>2</I>x<i>3</i>]<i>4</i>");
    region.remove_between_patterns_inclusive_all_nocase_between("<i>", "</i>", "[", "]");
    EXPECT_EQ(Bytes(region), "<i>1</i>[x]<i>4</i>");
    // The cleaned part goes back where it was found, not where another-case marker stands.
    CText cased("C1D c<i>2</i>d");
    cased.remove_between_patterns_inclusive_all_nocase_between("<i>", "</i>", "c", "d");
    EXPECT_EQ(Bytes(cased), "C1D cd");
}

}  // namespace
