// The page fetch against a real web server on loopback.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/BackgroundPageFetch.h"
#include "netinfo/PageFetch.h"
#include "platform/SystemLog.h"
#include "support/ChildProcess.h"
#include "support/ManualRunLoop.h"

using netinfo::DownloadURL;

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using Pages = std::vector<std::optional<std::string>>;

// Each page, why a fetch failed and how many requests it made (when that is
// certain). In the background the answer comes on the loop, which keeps
// serving while a server hangs; ending the fetch or the program cuts a
// hanging one short with no second attempt; then no fetch starts.
TEST(PageFetch, AgainstALoopbackServer) {
    testing_support::ChildProcess server({"/usr/bin/python3", NETINFO_FIXTURES "/http_fixture.py"});
    const auto port = server.readLine(10s);
    ASSERT_TRUE(port) << "the loopback web server did not start";
    const std::string base = "http://127.0.0.1:" + *port;
    const std::string tooLarge = "failed: the page is larger than 1048576 bytes.";
    const struct {
        std::string path;  // on the server, or a whole URL
        std::optional<std::string> page;
        std::string logged;  // for a failure
        int requests;        // 0: not counted
    } cases[] = {
        {"/plain", "<html><body>nothing to see</body></html>", "", 1},
        {"/empty", "", "", 1},
        // Only the second attempt, as a browser without cache, gets an answer.
        {"/browser-only", std::string(netinfo::kFetchUserAgent) + "|no-cache", "", 2},
        // An error page is no answer; a refusal is not asked again.
        {"/error", std::nullopt, "failed: HTTP 500.", 2},
        {"/refused", std::nullopt, "refused by the service: HTTP 429.", 1},
        {"/silent", std::nullopt, "failed: Operation timed out after 3", 0},
        {"/huge-declared", std::nullopt, tooLarge, 0},
        {"/huge-streamed", std::nullopt, tooLarge, 0},
        {"file:///etc/passwd", std::nullopt, "failed: not an http or https URL.", 0},
    };
    Lines lines;
    platform::SetSystemLogObserver([&](std::string_view line) { lines.emplace_back(line); });
    const auto start = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        const std::string url = c.path.starts_with("/") ? base + c.path : c.path;
        lines.clear();
        EXPECT_EQ(DownloadURL(url, {300ms, 300ms, 1024 * 1024}), c.page) << url;
        if (!c.page) {
            ASSERT_EQ(lines.size(), 2u) << url;
            EXPECT_TRUE(lines[1].starts_with("Download of " + url + " " + c.logged)) << lines[1];
        }
        if (c.requests != 0) {
            EXPECT_EQ(DownloadURL(base + "/hits" + c.path), std::to_string(c.requests)) << url;
        }
    }
    // The silent server costs both time-outs, nothing more.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    // Pages of their own, so that the server counts their requests apart.
    const std::string plain = base + "/plain?loop", silent = base + "/silent?loop";
    testing_support::RealTimeRunLoop loop;
    const auto quit = std::make_shared<netinfo::FetchCancel>();
    Pages pages;
    const auto record = [&](std::optional<std::string> page) { pages.push_back(page); };
    auto fetch = std::make_unique<netinfo::BackgroundPageFetch>(loop, quit);
    fetch->start(plain, record);
    EXPECT_TRUE(pages.empty());  // never inside the call
    ASSERT_TRUE(loop.runUntil([&] { return pages.size() == 1; }, 5s));

    fetch->start(silent, record);
    int ticks = 0;
    loop.addTimer(10ms, 10ms, [&] { ++ticks; });
    EXPECT_TRUE(loop.runUntil([&] { return ticks == 20; }, 2s));
    const auto ending = std::chrono::steady_clock::now();
    fetch.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - ending, 1s);
    EXPECT_FALSE(quit->cancelled());  // the program's token is not the fetch's to cancel
    loop.runUntil([] { return false; }, 100ms);
    EXPECT_EQ(pages.size(), 1u);  // its answer, posted as it ended, is dropped

    lines.clear();
    fetch = std::make_unique<netinfo::BackgroundPageFetch>(loop, quit);
    fetch->start(silent, record);
    std::this_thread::sleep_for(200ms);  // the server has the request
    quit->cancel();
    EXPECT_TRUE(loop.runUntil([&] { return pages.size() == 2; }, 1s));
    fetch->start(plain, record);
    EXPECT_TRUE(loop.runUntil([&] { return pages.size() == 3; }, 1s));
    EXPECT_EQ(pages, (Pages{"<html><body>nothing to see</body></html>", {}, {}}));
    platform::SetSystemLogObserver(nullptr);
    EXPECT_EQ(lines, (Lines{"Downloading URL: " + silent,
                            "Download of " + silent + " cancelled: the program is ending."}));
    EXPECT_EQ(DownloadURL(base + "/hits/silent?loop"), "2");
    EXPECT_EQ(DownloadURL(base + "/hits/plain?loop"), "1");
}

}  // namespace
