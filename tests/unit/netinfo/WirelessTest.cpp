#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "netinfo/ReportFile.h"
#include "netinfo/WirelessReport.h"
#include "support/TempFolder.h"

namespace {

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
