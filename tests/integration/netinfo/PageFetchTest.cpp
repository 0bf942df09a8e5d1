// The page fetch against a real web server on loopback.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/PageFetch.h"
#include "netinfo/StringExtensions.h"
#include "platform/SystemLog.h"
#include "support/ChildProcess.h"

using netinfo::DownloadURL;

namespace {

using namespace std::chrono_literals;

class PageFetch : public testing::Test {
protected:
    void SetUp() override {
        const auto port = server_.readLine(10s);
        ASSERT_TRUE(port) << "the loopback web server did not start";
        base = "http://127.0.0.1:" + *port;
    }

    testing_support::ChildProcess server_{
        {"/usr/bin/python3", NETINFO_FIXTURES "/http_fixture.py"}};
    std::string base;
};

// Each page as fetched, and for a failed fetch the reason the system log gives.
TEST_F(PageFetch, AgainstALoopbackServer) {
    const auto page = DownloadURL(base + "/lookup");
    ASSERT_TRUE(page);
    EXPECT_EQ(netinfo::extractBetweenPattern(*page, "Current IP Address: ", "</body></html>"),
              "10.0.0.1");

    const std::string tooLarge = "failed: the page is larger than 1048576 bytes.";
    const struct {
        std::string url;
        std::optional<std::string> page;
        std::string reason;  // for a failure
    } cases[] = {
        {base + "/plain", "<html><body>nothing to see</body></html>", ""},
        // Whatever the status, the body is the page.
        {base + "/error", "server error body", ""},
        {base + "/empty", "", ""},
        {base + "/latin1", "<html><body>caf\xc3\x88</body></html>", ""},
        // Only the second attempt, as a browser without cache, gets an answer.
        {base + "/browser-only", std::string(netinfo::kFetchUserAgent) + "|no-cache", ""},
        {base + "/silent", std::nullopt, "failed: Operation timed out after 3"},
        {base + "/huge-declared", std::nullopt, tooLarge},
        {base + "/huge-streamed", std::nullopt, tooLarge},
        {"not a url", std::nullopt, "failed: not an http or https URL."},
        {"file:///etc/passwd", std::nullopt, "failed: not an http or https URL."},
        // Nothing listens on port 1 of loopback.
        {"http://127.0.0.1:1/", std::nullopt, "failed: Failed to connect to 127.0.0.1 port 1"},
    };
    std::vector<std::string> lines;
    platform::SetSystemLogObserver([&](std::string_view line) { lines.emplace_back(line); });
    const auto start = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        lines.clear();
        EXPECT_EQ(DownloadURL(c.url, {300ms, 300ms, 1024 * 1024}), c.page) << c.url;
        if (!c.page) {
            ASSERT_EQ(lines.size(), 2u) << c.url;
            EXPECT_TRUE(lines[1].starts_with("Download of " + c.url + " " + c.reason)) << lines[1];
        }
    }
    platform::SetSystemLogObserver(nullptr);
    // The silent server costs both time-outs, nothing more.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// Quitting cancels a fetch that a silent server holds: it ends long before
// its 10 s time-out, without a second attempt, and no fetch starts after.
TEST_F(PageFetch, CancelledFetchEndsAtOnceAndIsNotRetried) {
    netinfo::FetchCancel cancel;
    std::vector<std::string> lines;
    platform::SetSystemLogObserver([&](std::string_view line) { lines.emplace_back(line); });
    const auto start = std::chrono::steady_clock::now();
    std::jthread quitter([&cancel] {
        std::this_thread::sleep_for(300ms);
        cancel.cancel();
    });
    EXPECT_EQ(DownloadURL(base + "/silent", {.cancel = &cancel}), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(DownloadURL(base + "/plain", {.cancel = &cancel}), std::nullopt);
    platform::SetSystemLogObserver(nullptr);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Downloading URL: " + base + "/silent",
                         "Download of " + base + "/silent cancelled: the program is ending.",
                     }));
    EXPECT_EQ(DownloadURL(base + "/hits/silent"), "1");
    EXPECT_EQ(DownloadURL(base + "/hits/plain"), "0");
}

}  // namespace
