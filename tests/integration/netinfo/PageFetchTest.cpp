// The page fetch against a real web server on loopback.
#include <chrono>

#include <gtest/gtest.h>

#include "netinfo/PageFetch.h"
#include "netinfo/StringExtensions.h"
#include "support/ChildProcess.h"

namespace {

using namespace std::chrono_literals;
using netinfo::FetchLimits;

TEST(PageFetch, AgainstALoopbackServer) {
    testing_support::ChildProcess server({"/usr/bin/python3", NETINFO_FIXTURES "/http_fixture.py"});
    const auto port = server.readLine(10s);
    ASSERT_TRUE(port) << "the loopback web server did not start";
    const std::string base = "http://127.0.0.1:" + *port;

    const auto page = DownloadURL(base + "/lookup");
    ASSERT_TRUE(page);
    EXPECT_EQ(extractBetweenPattern(*page, "Current IP Address: ", "</body></html>"), "10.0.0.1");

    const FetchLimits quick{300ms, 300ms, 1024 * 1024};
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"/plain", "<html><body>nothing to see</body></html>"},
        // Whatever the status, the body is the page.
        {"/error", "server error body"},
        {"/empty", ""},
        {"/latin1", "<html><body>caf\xc3\x88</body></html>"},
        // Only the second attempt, as a browser without cache, gets an answer.
        {"/browser-only", std::string(netinfo::kFetchUserAgent) + "|no-cache"},
        {"/silent", std::nullopt},
        {"/huge-declared", std::nullopt},
        {"/huge-streamed", std::nullopt},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [path, wanted] : cases) {
        EXPECT_EQ(DownloadURL(base + path, quick), wanted) << path;
    }
    // The silent server costs both time-outs, nothing more.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    EXPECT_EQ(DownloadURL("not a url"), std::nullopt);
    EXPECT_EQ(DownloadURL("file:///etc/passwd"), std::nullopt);
    // Nothing listens on port 1 of loopback.
    EXPECT_EQ(DownloadURL("http://127.0.0.1:1/", quick), std::nullopt);
}

}  // namespace
