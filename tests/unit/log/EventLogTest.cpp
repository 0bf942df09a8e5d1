#include "log/EventLog.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "foundation/Utf8.h"
#include "platform/SystemLog.h"
#include "settings/Preferences.h"
#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using Texts = std::vector<std::string>;

namespace {

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetSystemLogObserver(
            [this](std::string_view text) { systemLog_.emplace_back(text); });
    }
    void TearDown() override {
        StopLogging();
        platform::SetSystemLogObserver(nullptr);
    }

    fs::path logFile() const {
        return root_ / "data" / "Kestrune Software" / "OrbalenStatus" / "OrbalenStatus.log";
    }
    // The file's lines without their time stamps; a line without one is marked.
    Texts fileEntries() const {
        static const std::regex stamp(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} [+-]\d{4}\] )");
        Texts entries;
        std::istringstream in(testing_support::ReadText(logFile()));
        for (std::string line; std::getline(in, line);) {
            std::smatch match;
            const bool stamped = std::regex_search(line, match, stamp) && match.position(0) == 0;
            entries.push_back(stamped ? match.suffix().str() : "unstamped: " + line);
        }
        return entries;
    }
    static void SetDefault(std::string_view key, bool value) {
        settings::SetAppValue(key, value);
        settings::AppSynchronize();
    }

    testing_support::TempFolder root_{"eventlog-test"};
    ScopedEnv data_{"XDG_DATA_HOME", (root_ / "data").c_str()};
    ScopedEnv config_{"XDG_CONFIG_HOME", (root_ / "config").c_str()};
    Texts systemLog_;
};

TEST_F(EventLogTest, EntriesReachEachDestinationItsDefaultAllowsUnchanged) {
    ASSERT_FALSE(fs::exists(root_ / "data"));
    // Start and stop lines are written whatever the file's default says.
    SetDefault("logToPrivateConsoleLog", false);
    StartLogging();
    LogEntry("only in the system log");
    SetDefault("logToPrivateConsoleLog", true);
    const std::string message = "100% done: %s %n %@ %%";
    LogEntry(message);
    LogEntry(nullptr);
    SetDefault("logToSystemConsole", false);
    LogEntry("only in the file");
    SetDefault("logToPrivateConsoleLog", false);
    StopLogging();

    EXPECT_EQ(systemLog_, (Texts{"only in the system log", message}));
    EXPECT_EQ(fileEntries(), (Texts{"start", message, "only in the file", "stop"}));
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
    EXPECT_EQ(fileEntries(), (Texts{"start", "first", "stop", "start", "second", "stop"}));
}

TEST_F(EventLogTest, LongEntryIsCutOnACharacterBoundaryAndKeepsItsLineFeed) {
    StartLogging();
    std::string message;
    for (int i = 0; i < 200; ++i) {
        message += "\xc3\xa9";  // é, two bytes
    }
    LogEntry(message);
    StopLogging();

    const std::string file = testing_support::ReadText(logFile());
    const auto begin = file.find('\n') + 1;
    const std::string entry = file.substr(begin, file.find('\n', begin) + 1 - begin);
    EXPECT_GE(entry.size(), 254u);
    EXPECT_LE(entry.size(), 255u);
    EXPECT_TRUE(foundation::IsValidUtf8(entry));
    EXPECT_EQ(systemLog_.at(0), message) << "the system log gets the whole text";
}

TEST_F(EventLogTest, ProgramGoesOnWhenTheLogCannotBeWritten) {
    {
        // The data folder lies below a plain file: no folder can be made there.
        testing_support::WriteText(root_ / "plain", "x");
        ScopedEnv blocked("XDG_DATA_HOME", (root_ / "plain" / "data").c_str());
        StartLogging();
        LogEntry("still reaches the system log");
        StopLogging();
        EXPECT_EQ(systemLog_, Texts{"still reaches the system log"});
    }
    // The folder is there but the file cannot be opened: entries are dropped.
    fs::create_directories(logFile());
    StartLogging();
    LogEntry("dropped");
    StopLogging();
    EXPECT_TRUE(fs::is_directory(logFile()));
}

}  // namespace
