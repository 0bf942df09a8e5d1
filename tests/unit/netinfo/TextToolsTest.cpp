// Cutting values out of texts, turning fetched bytes into page text, and the
// wireless report: its text and its file.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "netinfo/PageText.h"
#include "netinfo/ReportFile.h"
#include "netinfo/StringExtensions.h"
#include "netinfo/WirelessReport.h"
#include "support/TempFolder.h"

namespace {

TEST(ExtractBetween, FirstStartThenFirstEndAfterItIgnoringCase) {
    const struct {
        const char* text;
        const char* start;
        const char* end;
        std::optional<std::string> wanted;
    } cases[] = {
        {"<body>Current IP Address: 10.0.0.1</body></html>\r\n",
         "current ip address: ", "</BODY></HTML>", "10.0.0.1"},
        {"[]", "[", "]", ""},
        {"a[1]b[2]", "[", "]", "1"},
        {"x[  y  ]", "[", "]", "  y  "},
        {"] before [", "[", "]", std::nullopt},
        {"a[b]c", "", "]", std::nullopt},
        {"a[b]c", "[", "", std::nullopt},
        {"ÉTAT: ok;", "état: ", ";", "ok"},
        // Invalid bytes are kept as they are and only match themselves.
        {"k\xff=v\xfe;", "\xff=", ";", "v\xfe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(netinfo::extractBetweenPattern(c.text, c.start, c.end), c.wanted) << c.text;
    }
}

TEST(TextTools, ReverseExtractTakesTheStartNearestBeforeTheFirstEnd) {
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("a[x]b[y]", "[", "]"), "x");
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("[[x]", "[", "]"), "x");
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("x] [y", "[", "]"), std::nullopt);
    EXPECT_EQ(netinfo::reverseExtractBetweenPattern("<A>v</a>", "<a>", "</A>"), "v");
    EXPECT_EQ(netinfo::cleanForFilename("a/b:c d"), "a-b-c d");
}

TEST(PageText, BodyNeverHoldsMoreThanTheCap) {
    constexpr std::size_t kCap = 100 * 1024;
    std::string body;
    const std::string piece(16 * 1024 + 3, 'x');
    while (netinfo::AppendCapped(body, piece, kCap)) {
        EXPECT_LE(body.capacity(), kCap);
    }
    EXPECT_EQ(body.size(), kCap / piece.size() * piece.size());  // the refused piece left no trace
    EXPECT_TRUE(netinfo::AppendCapped(body, std::string(kCap - body.size(), 'y'), kCap));
    EXPECT_LE(body.capacity(), kCap);
    EXPECT_FALSE(netinfo::AppendCapped(body, "z", kCap));
}

TEST(PageText, Utf8IsKeptOtherBytesAreMacRomanWithinTheCap) {
    std::string utf8 = "<html><body>caf\xC3\xA9</body></html>";
    const char* storage = utf8.data();
    std::optional<std::string> text = netinfo::PageText(std::move(utf8), 40);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "<html><body>caf\xC3\xA9</body></html>");
    EXPECT_EQ(text->data(), storage);  // moved, never copied

    EXPECT_EQ(netinfo::PageText("caf\x8E", 5), "caf\xC3\xA9");  // Mac OS Roman "é"
    EXPECT_EQ(netinfo::PageText("caf\x8E", 4), std::nullopt);   // the text would pass the cap
    EXPECT_EQ(netinfo::PageText(std::string(40'000, '\xA5'), 120'000)->size(), 120'000u);  // "•"
}

namespace fs = std::filesystem;
using netinfo::EscapeNetworkName;
using netinfo::ExtractWirelessNetworkName;

TEST(WirelessReport, MarkerRules) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"x\nCurrent Wireless Network: HomeNet\ny", "HomeNet"},
        {"Current Network Information:\n    HomeNet:\n  more", "HomeNet"},
        {"Current Network Information:\n  Other:\nCurrent Wireless Network: HomeNet\n", "HomeNet"},
        // A colon and line end inside the name cut it in the second form.
        {"Current Network Information:\n  Cafe:\n Bar:\n", "Cafe"},
        {"current wireless network: lower\n", "lower"},
        {"Current Wireless Network: no line end", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [report, wanted] : cases) {
        EXPECT_EQ(ExtractWirelessNetworkName(report), wanted) << report;
    }
}

TEST(WirelessReport, HostileNamesStayOnTheirLine) {
    EXPECT_EQ(EscapeNetworkName("Café ☕"), "Café ☕");
    EXPECT_EQ(EscapeNetworkName(std::string("\xff\0b\\", 4)), "\\xff\\x00b\\x5c");
    const std::string report =
        "Current Wireless Network: " + EscapeNetworkName("a\nCurrent Wireless Network: evil") +
        "\n";
    EXPECT_EQ(ExtractWirelessNetworkName(report), "a\\x0aCurrent Wireless Network: evil");
}

TEST(ReportFile, PrivateFolderReplacedReportAndNoPlantedLinksOrFifosFollowed) {
    testing_support::TempFolder temp;
    ASSERT_TRUE(netinfo::WriteReportFile(temp.path(), "first report, longer\n"));
    ASSERT_TRUE(netinfo::WriteReportFile(temp.path(), "second\n"));
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), "second\n");
    struct stat info {};
    ASSERT_EQ(lstat((temp / "orbalen").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A link in place of the report is neither read nor written through.
    const fs::path report = temp / "orbalen" / "systemDump_forOrbalen.txt";
    fs::remove(report);
    std::ofstream(temp / "target") << "keep";
    fs::create_symlink(temp / "target", report);
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), std::nullopt);
    ASSERT_TRUE(netinfo::WriteReportFile(temp.path(), "report"));
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), "report");
    std::string kept;
    std::ifstream(temp / "target") >> kept;
    EXPECT_EQ(kept, "keep");

    // Nor is a FIFO read, or waited on.
    fs::remove(report);
    ASSERT_EQ(mkfifo(report.c_str(), 0600), 0);
    EXPECT_EQ(netinfo::ReadReportFile(temp.path()), std::nullopt);

    // A link in place of the folder is refused.
    fs::remove_all(temp / "orbalen");
    fs::create_directory(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", temp / "orbalen");
    EXPECT_FALSE(netinfo::WriteReportFile(temp.path(), "report"));
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
}

}  // namespace
