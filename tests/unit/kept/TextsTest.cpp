// Text buffers and strings, URL parsing, link resolution and link harvesting from pages.
#include "kept/CURL.h"

#include <climits>
#include <tuple>

#include "KeptTestSupport.h"

using namespace base;
using namespace kept;

namespace {

TEST(CString256, StopsAtTheCapacityTakesAbsentSourcesAndChangesTheLastSuffix) {
    const std::string a254(254, 'a');
    CString256 s((a254 + "ab").c_str());
    s += s;
    EXPECT_EQ(TextOf(s), a254 + "a");
    s = a254 + "\xC3\xA9tail";
    EXPECT_EQ(s.MakeCFString(), a254);

    s = static_cast<const unsigned char*>(nullptr);
    s += static_cast<const char*>(nullptr);
    s += LONG_MIN;
    EXPECT_EQ(TextOf(s), "-9223372036854775808");
    s = std::vector<char>{'x', 'y', '\0', 'z'};  // a byte block stops at its first NUL
    EXPECT_EQ(TextOf(s), "xy");
    s = std::vector<char>{};
    EXPECT_EQ(TextOf(s), "");
    s = "dir.d/file";  // from the last dot, even one in a folder name
    s.change_suffix("html");
    EXPECT_EQ(TextOf(s), "dir.html");
}

TEST(CStringMatch, ScoresOfTheMatchersAndWildcards) {
    float score = -1.0f;  // each score differs from the one before: every call must write
    CString256("abc").match_case_partial("", &score);
    EXPECT_EQ(score, 0.0f);  // an empty pattern matches nothing
    CString256("ab").match_case_approximate("ba", &score);
    EXPECT_EQ(score, 0.5f);  // bytes out of order do not count
    CString256("").match_case_approximate("", &score);
    EXPECT_EQ(score, 0.0f);  // two empty texts: no division by zero
    auto wildcard = [](const char* subject, const char* pattern) {
        CList<CString256> pieces;
        CString256(pattern).parse_into_list("*", pieces);
        float result = -1.0f;
        CString256(subject).match_wildcard_case(pieces, &result);
        return result;
    };
    EXPECT_EQ(wildcard("report.TXT", "rep*TXT"), 1.0f);
    EXPECT_EQ(wildcard("report.TXT", "TXT*rep"), 0.0f);  // pieces must come in order
    EXPECT_EQ(wildcard("ababa", "aba*aba"), 0.0f);       // and must not overlap
}

TEST(CText, GrowsAtTheQuantumSurvivesItsOwnBufferClampsRangesAndFiles) {
    EXPECT_EQ(CText("abc", 0L).capacity, 32000);  // a quantum below 1 would divide by zero
    CText big(std::string(31999, 'x').c_str());
    big += 'y';
    EXPECT_EQ(big.capacity, 64000);

    CText t("ab", 4L);
    t.append("\0c", 2);
    t.append(t.text, t.length);  // the source lies in the buffer that the growth moves
    t += t;
    EXPECT_EQ(Bytes(t), std::string("ab\0cab\0cab\0cab\0c", 16));
    t.resize_by(-1000);  // a shrinking request never cuts into the text
    EXPECT_EQ(t.length, 16);

    CText h("hello");
    EXPECT_EQ(CText(h.text + 1, h.text).find_pattern("h"), -1);  // ends before it starts: absent
    EXPECT_EQ(Bytes(*h.extract_between(-5, 3)), "hell");
    h.remove_range(3L, 99L);
    EXPECT_EQ(Bytes(h), "hel");

    // Reading turns NUL bytes into spaces; writing leaves exactly the text.
    TempFolder folder;
    WriteText(folder / "page", std::string("a\0b\0", 4));
    CText loaded;
    EXPECT_EQ(loaded << (folder / "page").c_str(), 0);
    EXPECT_EQ(Bytes(loaded), "a b ");
    WriteText(folder / "out", "a much longer earlier content");
    EXPECT_EQ(CText("short") >> folder / "out", 0);
    EXPECT_EQ(ReadText(folder / "out"), "short");
}

#define EXTRACT(call) [](CText& t, CText& o) { return t.call; }

// Each member on a found pair (the text afterwards, what it extracted), then on reversed
// markers: the text unchanged and the output emptied.
TEST(CTextPatterns, EachMemberOnFoundMissingAndReversedMarkersCaseAndRemovingAll) {
    const std::tuple<int (*)(CText&, CText&), const char*, const char*> cases[] = {
        {EXTRACT(extract_between_patterns("<b>", "</b>", o)), "x<b>keep</b>y", "keep"},
        {EXTRACT(extract_between_patterns_nocase_inclusive("<B>", "</B>", o)), "x<b>keep</b>y",
         "<b>keep</b>"},
        {EXTRACT(extract_and_remove_between_patterns_nocase_not_inclusive("<B>", "</B>", o)),
         "x<b></b>y", "keep"},
        {EXTRACT(extract_and_replace_between_patterns("<b>", "</b>", "N", o)), "xNy", "keep"},
    };
    for (const auto& [apply, found, output] : cases) {
        SCOPED_TRACE(found);
        CText t("x<b>keep</b>y"), out("stale");
        EXPECT_EQ(apply(t, out), 1);
        EXPECT_EQ(Bytes(t), found);
        EXPECT_EQ(Bytes(out), output);
        CText reversed("x</b>keep<b>y");
        EXPECT_EQ(apply(reversed, out), 0);
        EXPECT_EQ(Bytes(reversed), "x</b>keep<b>y");
        EXPECT_EQ(Bytes(out), "");
    }
    CText out;
    EXPECT_EQ(CText("x<B>keep</B>y").extract_between_patterns("<b>", "</b>", out), 0);
    // Removing a pair can join two halves of a new opening pattern.
    CText seam("<<b>x</b>b>y</B>z<b>open");
    seam.remove_between_patterns_inclusive_all_nocase("<b>", "</b>");
    EXPECT_EQ(Bytes(seam), "z<b>open");
    CText empty("abc");
    empty.remove_between_patterns_inclusive_all_nocase("", "");  // must end
    EXPECT_EQ(Bytes(empty), "abc");
    // Only the part between c and d is cleaned, and it goes back where it was found, not
    // where a marker in the other case stands.
    CText cased("C<i>1</i>D c<I>2</i>x<i>3</i>d");
    cased.remove_between_patterns_inclusive_all_nocase_between("<i>", "</i>", "c", "d");
    EXPECT_EQ(Bytes(cased), "C<i>1</i>D cxd");
}

#undef EXTRACT

TEST(CURL, TakesShortAndLongURLsApartAndResolvesLinksAgainstThem) {
    CURL u("http://host/docs/guide/intro.html?x=1#top");
    EXPECT_EQ(TextOf(u.host) + "|" + TextOf(u.path) + "|" + TextOf(u.filename) + "|" +
                  TextOf(u.suffix) + "|" + TextOf(u.rest) + "|" + TextOf(u.anchor),
              "host|docs/guide|intro.html|.html|intro.html?x=1|top");
    EXPECT_EQ(TextsOf(CURL(u).pathComponents), (Texts{"docs", "guide"}));
    for (const char* text : {"http://h/a/cgi$p1?q=2", "http://h/a/cgi?q=2$p1"}) {
        const CURL url(text);  // path and search arguments in either order
        EXPECT_EQ(TextOf(url.filename) + " " + TextOf(url.pathArgs) + " " + TextOf(url.searchArgs),
                  "cgi p1 q=2")
            << text;
    }

    // A long URL keeps every part within the cap.
    const std::string f(200, 'f');
    CURL long_(("http://h/" + f + "/" + f + "/page.html?" + std::string(300, 'q')).c_str());
    EXPECT_EQ(TextOf(long_.filename), "page.html");
    EXPECT_EQ(TextsOf(long_.pathComponents), (Texts{f, f.substr(0, 54)}));

    // Links resolve against the page; only the leading "../" climb, the inner ones stay
    // for the server to resolve.
    auto resolved = [](const char* href) {
        CString256 out;
        CText::partial_href_to_full_url("http://h/a/b/page.html", href, out);
        return TextOf(out);
    };
    EXPECT_EQ(resolved("../../../x.html"), "http://h/x.html");
    EXPECT_EQ(resolved("//other/x"), "http://other/x");
    EXPECT_EQ(resolved("../c/../d.html"), "http://h/a/c/../d.html");
}

TEST(Links, ClassicExtractionTheWalkUnderItAndCollecting) {
    const char* html = "<a HREF=\"x.html\">b SRC=y.gif <option value=\"z\">";
    CText page(html);
    CList<CString256> links;
    page.classic_extract_hrefs(links);
    EXPECT_EQ(TextsOf(links), (Texts{"x.html", "y.gif"}));
    EXPECT_EQ(Bytes(page), html);

    // The walk under it finds a pattern joined across a removed pair, and an empty one.
    auto walked = [](const char* text, const char* a, const char* b) {
        CText t(text);
        CList<CString256> found;
        t.extract_and_remove_all_between_patterns_nocase(a, b, found);
        Texts piecesThenRest = TextsOf(found);
        piecesThenRest.push_back(Bytes(t));
        return piecesThenRest;
    };
    EXPECT_EQ(walked("xHREF=href=\"x\"\"y\"z", "HREF=\"", "\""), (Texts{"x", "y", "xz"}));
    EXPECT_EQ(walked("a>b>c", "", ">"), (Texts{"a", "b", "c"}));

    // Collecting takes the run around each dot with an extension.
    auto collected = [](const char* text) {
        CList<CString256> urls;
        CText(text).collect_all_urls(urls);
        return TextsOf(urls);
    };
    EXPECT_EQ(collected("<a href=\"docs/page.html\">"), Texts{"docs/page.html"});
    EXPECT_EQ(collected("see (img.jpeg2) now"), Texts{});    // not a known or short extension
    EXPECT_EQ(collected("x.gif'"), Texts{});                 // the first byte is never in a link
    EXPECT_EQ(collected("<a href=\"a b.html\">"), Texts{});  // a space is not URL-safe
}

}  // namespace
