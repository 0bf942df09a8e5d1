#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "netinfo/ReportFile.h"
#include "netinfo/WirelessReport.h"

namespace {

namespace fs = std::filesystem;
using netinfo::EscapeNetworkName;
using netinfo::ExtractWirelessNetworkName;

TEST(WirelessReportMarkers, FirstFormThenSecondFormTrimmed) {
    EXPECT_EQ(ExtractWirelessNetworkName("x\nCurrent Wireless Network: HomeNet\ny"), "HomeNet");
    EXPECT_EQ(ExtractWirelessNetworkName("Current Network Information:\n    HomeNet:\n  more"),
              "HomeNet");
    EXPECT_EQ(ExtractWirelessNetworkName("Current Network Information:\n  Other:\n"
                                         "Current Wireless Network: HomeNet\n"),
              "HomeNet");
    // A colon and line end inside the name cut it in the second form.
    EXPECT_EQ(ExtractWirelessNetworkName("Current Network Information:\n  Cafe:\n Bar:\n"), "Cafe");
    EXPECT_EQ(ExtractWirelessNetworkName("current wireless network: lower\n"), "lower");
    EXPECT_EQ(ExtractWirelessNetworkName("Current Wireless Network: no line end"), std::nullopt);
    EXPECT_EQ(ExtractWirelessNetworkName(""), std::nullopt);
}

TEST(WirelessReportMarkers, HostileNamesStayOnTheirLine) {
    EXPECT_EQ(EscapeNetworkName("Café ☕"), "Café ☕");
    EXPECT_EQ(EscapeNetworkName("a\nCurrent Wireless Network: evil"),
              "a\\x0aCurrent Wireless Network: evil");
    EXPECT_EQ(EscapeNetworkName(std::string("\xff\0b\\", 4)), "\\xff\\x00b\\x5c");
    const std::string report = "Current Wireless Network: " + EscapeNetworkName("x\ny") + "\n";
    EXPECT_EQ(ExtractWirelessNetworkName(report), "x\\x0ay");
}

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orbalen-report-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp_ = pattern;
    }
    void TearDown() override { fs::remove_all(temp_); }
    fs::path temp_;
};

TEST_F(ReportFileTest, MakesPrivateFolderAndReplacesTheReport) {
    ASSERT_TRUE(netinfo::WriteReportFile(temp_, "first report, longer\n"));
    ASSERT_TRUE(netinfo::WriteReportFile(temp_, "second\n"));
    EXPECT_EQ(netinfo::ReadReportFile(temp_), "second\n");
    struct stat info {};
    ASSERT_EQ(lstat((temp_ / "orbalen").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(fs::exists(temp_ / "orbalen" / "systemDump_forOrbalen.txt"));
}

TEST_F(ReportFileTest, RefusesAPlantedLink) {
    const fs::path elsewhere = temp_ / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, temp_ / "orbalen");
    EXPECT_FALSE(netinfo::WriteReportFile(temp_, "report"));
    EXPECT_TRUE(fs::is_empty(elsewhere));

    fs::remove(temp_ / "orbalen");
    fs::create_directory(temp_ / "orbalen");
    const fs::path target = temp_ / "target";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, temp_ / "orbalen" / "systemDump_forOrbalen.txt");
    EXPECT_EQ(netinfo::ReadReportFile(temp_), std::nullopt);
    ASSERT_TRUE(netinfo::WriteReportFile(temp_, "report"));  // replaces the link itself
    EXPECT_EQ(netinfo::ReadReportFile(temp_), "report");
    std::ifstream kept(target);
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "keep");
}

}  // namespace
