// The page fetch against a real web server on loopback.
#include <chrono>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "netinfo/PageFetch.h"
#include "netinfo/StringExtensions.h"

namespace {

using namespace std::chrono_literals;

class PageFetch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new testing_support::ChildProcess(
            {"/usr/bin/python3", NETINFO_FIXTURES "/http_fixture.py"});
        const auto port = server_->readLine(10s);
        ASSERT_TRUE(port) << "the loopback web server did not start";
        base_ = "http://127.0.0.1:" + *port;
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(base_.empty()); }

    static std::optional<std::string> Fetch(const std::string& path,
                                            const netinfo::FetchLimits& limits = {}) {
        return DownloadURL(base_ + path, limits);
    }

    static inline testing_support::ChildProcess* server_ = nullptr;
    static inline std::string base_;
};

TEST_F(PageFetch, LookupPageGivesTheAddress) {
    const auto page = Fetch("/lookup");
    ASSERT_TRUE(page);
    EXPECT_EQ(extractBetweenPattern(*page, "Current IP Address: ", "</body></html>"), "10.0.0.1");

    const auto plain = Fetch("/plain");
    ASSERT_TRUE(plain);
    EXPECT_EQ(extractBetweenPattern(*plain, "Current IP Address: ", "</body></html>"),
              std::nullopt);
}

TEST_F(PageFetch, BodiesAreTakenWhateverTheStatusAndEncoding) {
    EXPECT_EQ(Fetch("/error"), "server error body");
    EXPECT_EQ(Fetch("/empty"), "");
    EXPECT_EQ(Fetch("/latin1"), "<html><body>caf\xc3\x88</body></html>");
}

TEST_F(PageFetch, SecondAttemptIdentifiesAsBrowserWithoutCache) {
    const auto page = Fetch("/browser-only");
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, std::string(netinfo::kFetchUserAgent) + "|no-cache");
}

TEST_F(PageFetch, SilentServerTimesOutWithinBothAttempts) {
    const netinfo::FetchLimits limits{300ms, 300ms, 1024};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch("/silent", limits), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(PageFetch, OversizedBodiesAreRefused) {
    const netinfo::FetchLimits limits{5s, 5s, 1024 * 1024};
    EXPECT_EQ(Fetch("/huge-declared", limits), std::nullopt);
    EXPECT_EQ(Fetch("/huge-streamed", limits), std::nullopt);
}

TEST_F(PageFetch, OnlyWebURLsAreFetched) {
    EXPECT_EQ(DownloadURL("not a url"), std::nullopt);
    EXPECT_EQ(DownloadURL("file:///etc/passwd"), std::nullopt);
    // Nothing listens on port 1 of loopback.
    EXPECT_EQ(DownloadURL("http://127.0.0.1:1/", {500ms, 500ms, 1024}), std::nullopt);
}

}  // namespace
