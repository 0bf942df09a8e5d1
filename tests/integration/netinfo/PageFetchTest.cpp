// The page fetch against a real web server on loopback.
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/PageFetch.h"
#include "netinfo/StringExtensions.h"
#include "platform/SystemLog.h"
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

// A failed fetch says why in the system log.
TEST(PageFetch, FailuresAreLoggedWithTheirReason) {
    testing_support::ChildProcess server({"/usr/bin/python3", NETINFO_FIXTURES "/http_fixture.py"});
    const auto port = server.readLine(10s);
    ASSERT_TRUE(port) << "the loopback web server did not start";
    const std::string base = "http://127.0.0.1:" + *port;
    std::vector<std::string> lines;
    platform::SetSystemLogObserver([&](std::string_view line) { lines.emplace_back(line); });
    const FetchLimits quick{300ms, 300ms, 1024 * 1024};
    const std::pair<std::string, std::string> cases[] = {
        {"file:///etc/passwd", "failed: not an http or https URL."},
        {base + "/huge-streamed", "failed: the page is larger than 1048576 bytes."},
        {base + "/huge-declared", "failed: the page is larger than 1048576 bytes."},
        {base + "/silent", "failed: Operation timed out after 3"},
        {"http://127.0.0.1:1/", "failed: Failed to connect to 127.0.0.1 port 1"},
    };
    for (const auto& [url, reason] : cases) {
        lines.clear();
        EXPECT_EQ(DownloadURL(url, quick), std::nullopt);
        ASSERT_EQ(lines.size(), 2u) << url;
        EXPECT_TRUE(lines[1].starts_with("Download of " + url + " " + reason)) << lines[1];
    }
    platform::SetSystemLogObserver(nullptr);
}

}  // namespace
