#include "foundation/CURL.h"

#include "FoundationTestSupport.h"

using namespace foundation;

namespace {

TEST(CURL, TakesAFullURLApart) {
    CURL u("http://host/docs/guide/intro.html?x=1#top");
    EXPECT_EQ(u.protocol, ip_protocols::http);
    EXPECT_STREQ(u.host.c_str(), "host");
    EXPECT_STREQ(u.path.c_str(), "docs/guide");
    EXPECT_EQ(TextsOf(u.pathComponents), (Texts{"docs", "guide"}));
    EXPECT_STREQ(u.filename.c_str(), "intro.html");
    EXPECT_STREQ(u.suffix.c_str(), ".html");
    EXPECT_STREQ(u.rest.c_str(), "intro.html?x=1");
    EXPECT_STREQ(u.searchArgs.c_str(), "x=1");
    EXPECT_STREQ(u.anchor.c_str(), "top");
    EXPECT_STREQ(u.url.c_str(), "http://host/docs/guide/intro.html?x=1");

    CURL args("http://h/a/cgi$p1?q=2");
    EXPECT_EQ(TextOf(args.pathArgs) + " " + TextOf(args.searchArgs), "p1 q=2");
    EXPECT_STREQ(args.filename.c_str(), "cgi");
    EXPECT_STREQ(args.rest.c_str(), "cgi$p1?q=2");
    CURL swapped("http://h/a/cgi?q=2$p1");
    EXPECT_EQ(TextOf(swapped.pathArgs) + " " + TextOf(swapped.searchArgs), "p1 q=2");

    CURL copy(u);
    EXPECT_EQ(TextsOf(copy.pathComponents), (Texts{"docs", "guide"}));
}

TEST(CURL, ProtocolsAndURLsWithoutPathOrHost) {
    CURL ftp("ftp://host/file.txt");
    EXPECT_EQ(ftp.protocol, ip_protocols::ftp);
    EXPECT_EQ(TextOf(ftp.path), "");
    EXPECT_EQ(TextOf(ftp.filename), "file.txt");
    EXPECT_EQ(CURL("https://h/").protocol, ip_protocols::https);
    EXPECT_EQ(CURL("HTTPS://h/").protocol, ip_protocols::http);

    CString256 filename("keep"), suffix("keep"), rest("keep"), path("keep"), host("keep");
    CURL::extract_filename("http://host", filename, suffix, rest);
    CURL::extract_path("http://host", path);
    EXPECT_EQ(TextOf(filename) + TextOf(path), "keepkeep");
    CURL::extract_filename("http://host/", filename, suffix, rest);
    EXPECT_EQ(TextOf(filename), "");
    EXPECT_EQ(TextOf(suffix), "keep");  // no "." in the name
    CURL::extract_host("no/scheme/here", host);
    EXPECT_EQ(TextOf(host), "");
}

TEST(CURL, LongURLsKeepEveryPartWithinTheCap) {
    std::string folder(200, 'f');
    std::string text = "http://h/" + folder + "/" + folder + "/page.html?" + std::string(300, 'q');
    CURL u(text.c_str());
    EXPECT_EQ(u.url.length(), 255u);
    EXPECT_EQ(u.path.length(), 255u);
    EXPECT_STREQ(u.filename.c_str(), "page.html");
    EXPECT_EQ(u.searchArgs.length(), 255u);
    EXPECT_EQ(TextsOf(u.pathComponents), (Texts{folder, folder.substr(0, 54)}));
}

TEST(CURL, ResolvesLinksAgainstThePage) {
    struct Case {
        const char* base;
        const char* href;
        const char* full;
    };
    const Case cases[] = {
        {"http://h/a/b/page.html", "x.html", "http://h/a/b/x.html"},
        {"http://h/a/b/page.html", "/x.html", "http://h/x.html"},
        {"http://h/a/b/page.html", "../x.html", "http://h/a/x.html"},
        {"http://h/a/b/page.html", "../../x.html", "http://h/x.html"},
        {"http://h/a/b/page.html", "../../../x.html", "http://h/x.html"},
        {"http://h/a/b/page.html", "./x.html", "http://h/a/b/x.html"},
        {"http://h/a/b/page.html", "//other/x", "http://other/x"},
        {"http://h/a/b/page.html", "ftp://f/y", "ftp://f/y"},
        {"http://h/page.html", "x.html", "http://h/x.html"},
        {"https://h/a/page.html", "x.html", "http://h/a/x.html"},
        // Only the leading "../" climb; the inner one stays for the server to resolve.
        {"http://h/a/b/page.html", "../c/../d.html", "http://h/a/c/../d.html"},
    };
    for (const auto& c : cases) {
        CString256 out;
        CText::partial_href_to_full_url(c.base, c.href, out);
        EXPECT_STREQ(out.c_str(), c.full) << c.base << " + " << c.href;
    }
    EXPECT_EQ(CText::href_is_relative("a/b.html"), 1);
    EXPECT_EQ(CText::href_is_relative("http://h/"), 0);
}

}  // namespace
