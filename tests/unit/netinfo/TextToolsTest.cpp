// Text between markers, page text, and the wireless report's text and file.
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "netinfo/PageText.h"
#include "netinfo/ReportFile.h"
#include "netinfo/StringExtensions.h"
#include "netinfo/WirelessReport.h"
#include "support/FileText.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

TEST(TextTools, ExtractBetweenIgnoresCaseAndTakesTheFirstEndAfterTheStart) {
    const struct {
        const char* text;
        const char* start;
        const char* end;
        std::optional<std::string> wanted;
    } cases[] = {
        {"<body>Current IP Address: 10.0.0.1</body></html>\r\n",
         "current ip address: ", "</BODY></HTML>", "10.0.0.1"},
        {"a[]b[2]", "[", "]", ""},
        {"] before [", "[", "]", std::nullopt},
        {"a[b]c", "", "]", std::nullopt},
        {"ÉTAT: ok;", "état: ", ";", "ok"},
        // Invalid bytes are kept as they are and only match themselves.
        {"k\xff=v\xfe;", "\xff=", ";", "v\xfe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(netinfo::extractBetweenPattern(c.text, c.start, c.end), c.wanted) << c.text;
    }
}

// Nothing in the program calls these two, but they belong to the same kit.
TEST(TextTools, ReverseExtractTakesTheStartNearestBeforeTheFirstEnd) {
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("[[x]b[y]", "[", "]"), "x");
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("x] [y", "[", "]"), std::nullopt);
    EXPECT_EQ(netinfo::cleanForFilename("a/b:c d"), "a-b-c d");
}

// Neither the growing body nor the decoded text ever holds more than the cap.
TEST(PageText, BodyAndTextStayWithinTheCap) {
    constexpr std::size_t kCap = 100 * 1024;
    std::string body;
    const std::string piece(16 * 1024 + 3, 'x');
    while (netinfo::AppendCapped(body, piece, kCap)) {
        EXPECT_LE(body.capacity(), kCap);
    }
    EXPECT_EQ(body.size(), kCap / piece.size() * piece.size());
    EXPECT_TRUE(netinfo::AppendCapped(body, std::string(kCap - body.size(), 'y'), kCap));
    EXPECT_LE(body.capacity(), kCap);
    EXPECT_FALSE(netinfo::AppendCapped(body, "z", kCap));

    EXPECT_EQ(netinfo::PageText("caf\xC3\xA9", 5), "caf\xC3\xA9");  // UTF-8 kept
    EXPECT_EQ(netinfo::PageText("caf\x8E", 5), "caf\xC3\xA9");      // Mac OS Roman "é"
    EXPECT_EQ(netinfo::PageText("caf\x8E", 4), std::nullopt);
    EXPECT_EQ(netinfo::PageText(std::string(40'000, '\xA5'), 120'000)->size(), 120'000u);  // "•"
}

// The first marker form wins; the second ends at ":" and a line end. A name
// escaped into a report stays on its line and forges no marker.
TEST(WirelessReport, MarkersAndHostileNames) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"Current Network Information:\n  Other:\nCurrent Wireless Network: HomeNet\n", "HomeNet"},
        {"Current Network Information:\n  Cafe:\n Bar:\n", "Cafe"},
        {"Current Wireless Network: no line end", std::nullopt},
        {"Current Wireless Network: " +
             netinfo::EscapeNetworkName("a\nCurrent Wireless Network: evil") + "\n",
         "a\\x0aCurrent Wireless Network: evil"},
    };
    for (const auto& [report, wanted] : cases) {
        EXPECT_EQ(netinfo::ExtractWirelessNetworkName(report), wanted) << report;
    }
    EXPECT_EQ(netinfo::EscapeNetworkName("Café ☕"), "Café ☕");
    EXPECT_EQ(netinfo::EscapeNetworkName(std::string("\xff\0b\\", 4)), "\\xff\\x00b\\x5c");
}

// The report's folder is private; links and FIFOs planted in its place are
// neither followed nor waited on.
TEST(ReportFile, PrivateFolderReplacedReportAndNoPlantedLinksOrFifosFollowed) {
    testing_support::TempFolder temp;
    ASSERT_TRUE(netinfo::WriteReportFile(temp.path(), "first report, longer\n"));
    ASSERT_TRUE(netinfo::WriteReportFile(temp.path(), "second\n"));
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), "second\n");
    struct stat info {};
    ASSERT_EQ(lstat((temp / "orbalen").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    const fs::path report = temp / "orbalen" / "systemDump_forOrbalen.txt";
    fs::remove(report);
    testing_support::WriteText(temp / "target", "keep");
    fs::create_symlink(temp / "target", report);
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), std::nullopt);
    ASSERT_TRUE(netinfo::WriteReportFile(temp.path(), "report"));
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), "report");
    EXPECT_EQ(testing_support::ReadText(temp / "target"), "keep");

    fs::remove(report);
    ASSERT_EQ(mkfifo(report.c_str(), 0600), 0);
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), std::nullopt);

    fs::remove_all(temp / "orbalen");
    fs::create_directory(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", temp / "orbalen");
    EXPECT_FALSE(netinfo::WriteReportFile(temp.path(), "report"));
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
}

}  // namespace
