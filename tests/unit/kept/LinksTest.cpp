// URL parsing, link resolution and link harvesting from pages.
#include <random>

#include "kept/CURL.h"

#include "KeptTestSupport.h"

using namespace base;
using namespace kept;

namespace {

TEST(CURL, TakesAURLApartWithItsArgumentsInEitherOrder) {
    CURL u("http://host/docs/guide/intro.html?x=1#top");
    EXPECT_EQ(u.protocol, ip_protocols::http);
    EXPECT_EQ(TextOf(u.host) + "|" + TextOf(u.path) + "|" + TextOf(u.filename) + "|" +
                  TextOf(u.suffix) + "|" + TextOf(u.rest) + "|" + TextOf(u.anchor),
              "host|docs/guide|intro.html|.html|intro.html?x=1|top");
    EXPECT_EQ(TextOf(u.url), "http://host/docs/guide/intro.html?x=1");
    CURL copy(u);
    EXPECT_EQ(TextsOf(copy.pathComponents), (Texts{"docs", "guide"}));

    for (const char* text : {"http://h/a/cgi$p1?q=2", "http://h/a/cgi?q=2$p1"}) {
        CURL args(text);
        EXPECT_EQ(TextOf(args.pathArgs) + " " + TextOf(args.searchArgs), "p1 q=2") << text;
        EXPECT_EQ(TextOf(args.filename), "cgi");
    }
}

TEST(CURL, URLsWithoutPathOrHostLeaveThePartsAlone) {
    CString256 filename("keep"), suffix("keep"), rest("keep"), path("keep"), host("keep");
    CURL::extract_filename("http://host", filename, suffix, rest);
    CURL::extract_path("http://host", path);
    EXPECT_EQ(TextOf(filename) + TextOf(path), "keepkeep");
    CURL::extract_filename("http://host/", filename, suffix, rest);
    EXPECT_EQ(TextOf(filename) + "|" + TextOf(suffix), "|keep");
    CURL::extract_host("no/scheme/here", host);
    EXPECT_EQ(TextOf(host), "");
}

TEST(CURL, LongURLsKeepEveryPartWithinTheCap) {
    std::string folder(200, 'f');
    std::string text = "http://h/" + folder + "/" + folder + "/page.html?" + std::string(300, 'q');
    CURL u(text.c_str());
    EXPECT_EQ(u.url.length(), 255u);
    EXPECT_EQ(u.path.length(), 255u);
    EXPECT_EQ(TextOf(u.filename), "page.html");
    EXPECT_EQ(u.searchArgs.length(), 255u);
    EXPECT_EQ(TextsOf(u.pathComponents), (Texts{folder, folder.substr(0, 54)}));
}

TEST(CURL, ResolvesLinksAgainstThePage) {
    const char* cases[][3] = {
        {"http://h/a/b/page.html", "/x.html", "http://h/x.html"},
        {"http://h/a/b/page.html", "../x.html", "http://h/a/x.html"},
        {"http://h/a/b/page.html", "../../../x.html", "http://h/x.html"},
        {"http://h/a/b/page.html", "//other/x", "http://other/x"},
        {"https://h/page.html", "x.html", "http://h/x.html"},
        // Only the leading "../" climb; the inner one stays for the server to resolve.
        {"http://h/a/b/page.html", "../c/../d.html", "http://h/a/c/../d.html"},
    };
    for (const auto& [base, href, full] : cases) {
        CString256 out;
        CText::partial_href_to_full_url(base, href, out);
        EXPECT_EQ(TextOf(out), full) << base << " + " << href;
    }
}

std::string ValueOf(CMap<CString256, CString256>& map, const char* key) {
    auto* node = map.lookup(key);
    return node != nullptr ? node->value.c_str() : "<none>";
}

TEST(ClassicExtraction, ListAndMapFormsLeaveThePageAlone) {
    const char* html = "<a HREF=\"x.html\">b SRC=y.gif <option value=\"z\">";
    CText page(html);
    CList<CString256> links;
    page.classic_extract_hrefs(links);
    EXPECT_EQ(TextsOf(links), (Texts{"x.html", "y.gif"}));
    EXPECT_EQ(Bytes(page), html);

    // The map form skips anchors and mail, and resolves against the page.
    CText anchors("<a href=\"#top\"><a href=\"MAILTO:a@b.c\"><a href=\"x.html\">");
    CMap<CString256, CString256> resolved;
    anchors.classic_extract_hrefs("http://h/a/page.html", resolved);
    EXPECT_EQ(resolved.count, 1);
    EXPECT_EQ(ValueOf(resolved, "x.html"), "http://h/a/x.html");
}

// The one-pass walk must leave the text and list exactly as the repeated calls do,
// including where a removed pair joins two halves of an opening pattern.
TEST(ClassicExtraction, OnePassWalkMatchesRepeatedRemoval) {
    std::mt19937 random(7);
    const char alphabet[] = "<>hrefHREF=\"' x";
    const std::pair<const char*, const char*> pairs[] = {
        {"HREF=\"", "\""}, {"HREF=", ">"}, {"<", ">"}, {"", ">"}, {"href", ""}};
    for (int round = 0; round < 3000; ++round) {
        std::string page;
        for (int i = random() % 60; i > 0; --i) {
            page += alphabet[random() % (sizeof alphabet - 1)];
        }
        for (const auto& [a, b] : pairs) {
            CText fast(page.c_str()), slow(page.c_str());
            CList<CString256> fastList, slowList;
            fast.extract_and_remove_all_between_patterns_nocase(a, b, fastList);
            CString256 piece;
            while (slow.extract_and_remove_between_patterns_nocase(a, b, piece)) {
                slowList.append(piece);
            }
            ASSERT_EQ(Bytes(fast), Bytes(slow)) << page << " with " << a << " " << b;
            ASSERT_EQ(TextsOf(fastList), TextsOf(slowList)) << page;
        }
    }
}

TEST(Suffixes, ShortAlphanumericOrKnownExtensionsPass) {
    const std::pair<const char*, int> cases[] = {{"html", 1}, {"", 1},   {"-ab", 1}, {"HTM", 1},
                                                 {"c", 0},    {"a1", 0}, {"a-b", 0}, {"jpeg2", 0}};
    for (const auto& [suffix, passes] : cases) {
        EXPECT_EQ(CText(suffix).IsSuffix(), passes) << suffix;
    }
}

TEST(CollectURLs, TakesTheRunAroundEachDotWithAnExtension) {
    const std::pair<const char*, Texts> cases[] = {
        {"<a href=\"docs/page.html\">", {"docs/page.html"}},
        {"see (img.logo.gif) now", {"img.logo.gif"}},
        {"ends in page.html", {}},
        {"x.gif'", {}},                 // the first byte never belongs to a link
        {"<a href=\"a b.html\">", {}},  // a space is not URL-safe
        {"<a href=\"#x.html\">", {}},
    };
    for (const auto& [page, expected] : cases) {
        CList<CString256> urls;
        CText(page).collect_all_urls(urls);
        EXPECT_EQ(TextsOf(urls), expected) << page;
    }
}

}  // namespace
