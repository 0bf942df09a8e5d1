#include "log/EventLog.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "platform/SystemEncoding.h"
#include "platform/SystemLog.h"
#include "settings/Preferences.h"

namespace fs = std::filesystem;

namespace {

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/eventlog-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        platform::SetSystemLogObserver(
            [this](std::string_view text) { systemLog_.emplace_back(text); });
    }
    void TearDown() override {
        StopLogging();
        platform::SetSystemLogObserver(nullptr);
        fs::remove_all(root_);
    }

    fs::path logFile() const {
        return root_ / "data" / "Kestrune Software" / "OrbalenStatus" / "OrbalenStatus.log";
    }
    std::vector<std::string> fileLines() const {
        std::vector<std::string> lines;
        std::ifstream in(logFile());
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    static void SetDefault(std::string_view key, bool value) {
        settings::SetAppValue(key, value);
        settings::AppSynchronize();
    }

    fs::path root_;
    std::vector<std::string> systemLog_;
};

const std::regex kStamp(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} [+-]\d{4}\] )");

bool IsLine(const std::string& line, const std::string& text) {
    std::smatch match;
    return std::regex_search(line, match, kStamp) && match.position(0) == 0 &&
           match.suffix() == text;
}

TEST_F(EventLogTest, EntriesReachBothDestinationsUnchanged) {
    ASSERT_FALSE(fs::exists(root_ / "data"));
    StartLogging();
    const std::string message = "100% done: %s %n %@ %%";
    LogEntry(message);
    LogEntry(nullptr);
    StopLogging();

    EXPECT_EQ(systemLog_, std::vector<std::string>{message});
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(IsLine(lines[0], "start")) << lines[0];
    EXPECT_TRUE(IsLine(lines[1], message)) << lines[1];
    EXPECT_TRUE(IsLine(lines[2], "stop")) << lines[2];
}

TEST_F(EventLogTest, EachDestinationFollowsItsUserDefault) {
    SetDefault("logToPrivateConsoleLog", false);
    StartLogging();
    LogEntry("only in the system log");
    SetDefault("logToPrivateConsoleLog", true);
    SetDefault("logToSystemConsole", false);
    LogEntry("only in the file");
    StopLogging();

    EXPECT_EQ(systemLog_, std::vector<std::string>{"only in the system log"});
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(IsLine(lines[0], "start"));
    EXPECT_TRUE(IsLine(lines[1], "only in the file"));
    EXPECT_TRUE(IsLine(lines[2], "stop"));
}

TEST_F(EventLogTest, RunsFollowEachOtherInOneGrowingFile) {
    for (const char* run : {"first", "second"}) {
        StartLogging();
        StartLogging();  // a second start keeps the one open file
        LogEntry(run);
        StopLogging();
        StopLogging();  // nothing left to stop
        LogEntry("after stop: system log only");
    }
    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 6u);
    const char* expected[] = {"start", "first", "stop", "start", "second", "stop"};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(IsLine(lines[i], expected[i])) << lines[i];
    }
}

TEST_F(EventLogTest, LongEntryIsCutOnACharacterBoundaryAndKeepsItsLineFeed) {
    StartLogging();
    std::string message;
    for (int i = 0; i < 200; ++i) {
        message += "\xc3\xa9";  // é, two bytes
    }
    LogEntry(message);
    StopLogging();

    std::ifstream in(logFile(), std::ios::binary);
    std::string start, entry;
    std::getline(in, start);
    std::getline(in, entry);
    EXPECT_LE(entry.size() + 1, 255u);
    EXPECT_GE(entry.size() + 1, 254u);
    EXPECT_TRUE(platform::IsValidUtf8(entry));
    EXPECT_EQ(systemLog_.at(0), message) << "the system log gets the whole text";
}

TEST_F(EventLogTest, ProgramGoesOnWhenTheLogCannotBeWritten) {
    // The data folder lies below a plain file: no folder can be made there.
    std::ofstream(root_ / "plain") << "x";
    setenv("XDG_DATA_HOME", (root_ / "plain" / "data").c_str(), 1);
    StartLogging();
    LogEntry("still reaches the system log");
    StopLogging();
    EXPECT_EQ(systemLog_, std::vector<std::string>{"still reaches the system log"});

    // The folder is there but the file cannot be opened: entries are dropped.
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    fs::create_directories(logFile());
    StartLogging();
    LogEntry("dropped");
    StopLogging();
    EXPECT_TRUE(fs::is_directory(logFile()));
}

}  // namespace
