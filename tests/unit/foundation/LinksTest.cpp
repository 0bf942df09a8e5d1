#include <random>

#include "foundation/CDelimiters.h"
#include "foundation/CURL.h"
#include "foundation/ICMapEntry.h"

#include "FoundationTestSupport.h"

using namespace foundation;

namespace {

std::string ValueOf(CMap<CString256, CString256>& map, const char* key) {
    auto* node = map.lookup(key);
    return node != nullptr ? node->value.c_str() : "<none>";
}

TEST(ClassicExtraction, ListAndMapFormsLeaveThePageAlone) {
    CText page("<a HREF=\"x.html\">b SRC=y.gif>");
    CList<CString256> links;
    page.classic_extract_hrefs(links);
    EXPECT_EQ(TextsOf(links), (Texts{"x.html", "y.gif"}));
    EXPECT_EQ(Bytes(page), "<a HREF=\"x.html\">b SRC=y.gif>");

    // The map form skips anchors and mail, and resolves against the page.
    CText anchors("<a href=\"#top\"><a href=\"MAILTO:a@b.c\"><a href=\"x.html\">");
    CMap<CString256, CString256> resolved;
    anchors.classic_extract_hrefs("http://h/a/page.html", resolved);
    EXPECT_EQ(resolved.count, 1);
    EXPECT_EQ(ValueOf(resolved, "x.html"), "http://h/a/x.html");
}

TEST(ClassicExtraction, TableRoundTripActivatesEveryPair) {
    CDelimiters table;
    CText written("");
    table >> written;
    EXPECT_EQ(Bytes(written).rfind("delimiterList HREF=\"\t\",SRC=\"\t\",", 0), 0u);
    EXPECT_EQ(Bytes(written).substr(written.length - 18), ",background=\t \xE2\x80\xA2\r");

    CText page("<option value=\"z\">");
    CList<CString256> before;
    page.classic_extract_hrefs(before);
    EXPECT_EQ(before.count, 0);

    CDelimiters readBack;
    CText stored("prefix ");
    stored += written;
    readBack << stored;
    EXPECT_EQ(Bytes(stored), "prefix ");
    EXPECT_EQ(readBack.list.count, 15);
    CList<CString256> after;
    page.classic_extract_hrefs(after, readBack);
    EXPECT_EQ(TextsOf(after), (Texts{"z"}));
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
            CText fast(page.c_str());
            CList<CString256> fastList;
            fast.extract_and_remove_all_between_patterns_nocase(a, b, fastList);
            CText slow(page.c_str());
            CList<CString256> slowList;
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
    for (const char* pass : {"html", "gz", "mp3", "", "-ab", "HTM"}) {
        EXPECT_EQ(CText(pass).IsSuffix(), 1) << pass;
    }
    for (const char* fail : {"c", "12", "a1", "a-b", "jpeg2", "a.b"}) {
        EXPECT_EQ(CText(fail).IsSuffix(), 0) << fail;
    }
    ICMapEntry entry;
    entry.fileType = 0x54455854;
    gSuffixMap.insert(".longext", entry);
    EXPECT_EQ(CText("LONGEXT").IsSuffix(), 1);
    EXPECT_EQ(CURL("http://h/f.longext").fileType, 0x54455854u);
    gSuffixMap.clear();
}

TEST(CollectURLs, TakesTheRunAroundEachDotWithAnExtension) {
    struct Case {
        const char* page;
        Texts urls;
    };
    const Case cases[] = {
        {"<a href=\"docs/page.html\">", {"docs/page.html"}},
        {"see (img.logo.gif) now", {"img.logo.gif"}},
        {"ends in page.html", {}},
        {"x.gif'", {}},  // the first byte never belongs to a link
        {"xy.gif'", {"y.gif"}},
        {"<a href=\"a b.html\">", {}},  // a space is not URL-safe
        {"<a href=\"#x.html\">", {}},
    };
    for (const auto& c : cases) {
        CList<CString256> urls;
        CText(c.page).collect_all_urls(urls);
        EXPECT_EQ(TextsOf(urls), c.urls) << c.page;
    }
}

TEST(CollectURLs, MailAddressesGoToTheMailMapWithTheirShownName) {
    CText page(
        "<a href=\"mailto:someone@example.com\">Someone</a> "
        "<a href=\"mailto:nobody@localhost\">Nobody</a>");
    CList<CString256> urls;
    CMap<CString256, CString256> mail;
    page.collect_all_urls(urls, &mail);
    EXPECT_EQ(urls.count + mail.count, 1);
    EXPECT_EQ(ValueOf(mail, "someone@example.com"), "Someone");
}

TEST(ExtractHrefs, CombinesBothWaysIntoOneMap) {
    CText page("<img SRC=logo.gif alt=x> text (see/more.html) <a href='../up.html'>");
    CMap<CString256, CString256> links;
    page.extract_hrefs("http://h/a/b/index.html", links);
    EXPECT_EQ(ValueOf(links, "logo.gif"), "http://h/a/b/logo.gif");
    EXPECT_EQ(ValueOf(links, "see/more.html"), "http://h/a/b/see/more.html");
    EXPECT_EQ(ValueOf(links, "../up.html"), "http://h/a/up.html");
}

}  // namespace
