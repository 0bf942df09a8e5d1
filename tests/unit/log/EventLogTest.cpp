#include "log/EventLog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <future>
#include <regex>
#include <sstream>

#include "base/Utf8.h"
#include "log/CLog.h"
#include "settings/Preferences.h"
#include "support/FileText.h"
#include "support/LogRecorder.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

using namespace eventlog;
namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

namespace {

class EventLogTest : public ::testing::Test {
protected:
    void TearDown() override { StopLogging(); }

    fs::path logFile() const {
        return root_ / "data" / "Kestrune Software" / "OrbalenStatus" / "OrbalenStatus.log";
    }
    // The file's lines without their time stamps; a line without one is marked.
    static Texts entriesOf(const fs::path& file) {
        static const std::regex stamp(R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} [+-]\d{4}\] )");
        Texts entries;
        std::istringstream in(testing_support::ReadText(file));
        for (std::string line; std::getline(in, line);) {
            std::smatch match;
            entries.push_back(std::regex_search(line, match, stamp) ? match.suffix().str()
                                                                    : "unstamped: " + line);
        }
        return entries;
    }
    static void SetDefault(std::string_view key, bool value) {
        settings::SetAppValue(key, value);
        settings::AppSynchronize();
    }

    testing_support::TempFolder root_{"eventlog-test"};
    testing_support::ScopedEnv data_{"XDG_DATA_HOME", (root_ / "data").c_str()};
    testing_support::ScopedEnv config_{"XDG_CONFIG_HOME", (root_ / "config").c_str()};
    testing_support::SystemLogRecorder systemLog_;
    testing_support::EventLogRecorder entries_;
};

// Runs append to one file; the file at the path is always the one written.
TEST_F(EventLogTest, RunsAppendToTheFileAtThePathWhichIsFollowedAndRotated) {
    for (const char* run : {"first", "second"}) {
        StartLogging();
        StartLogging();  // a second start keeps the one open file
        LogEntry(run);
        StopLogging();
        StopLogging();  // nothing left to stop
    }
    EXPECT_EQ(entriesOf(logFile()), (Texts{"start", "first", "stop", "start", "second", "stop"}));
    const std::string old = logFile().string() + ".old";
    StartLogging();
    fs::rename(logFile(), old);  // as logrotate does
    LogEntry("two");
    fs::remove(logFile());
    LogEntry("three");
    StopLogging();
    EXPECT_EQ(entriesOf(old).back(), "start");
    EXPECT_EQ(
        entriesOf(logFile()),
        (Texts{"the log file was moved or deleted; continuing in a new one", "three", "stop"}));

    // Full files move up one generation; the oldest beyond the kept ones goes.
    fs::remove(logFile());
    CLog log;
    log.SetRotation(300, 2);
    ASSERT_EQ(log.OpenLogFile(logFile().c_str()), 0);
    for (int i = 0; i < 12; ++i) {
        log.Write_Entry(("entry " + std::to_string(i) + std::string(60, '.') + "\n").c_str());
    }
    log.CloseLogFile();
    EXPECT_FALSE(fs::exists(logFile().string() + ".3"));
    EXPECT_LE(fs::file_size(logFile().string() + ".1"), 300u + 200u);
    const Texts entries = entriesOf(logFile());
    EXPECT_EQ(entries.at(0), "the log file reached 300 bytes; earlier entries are in " +
                                 logFile().string() + ".1");
    EXPECT_EQ(entries.rbegin()[1], "unstamped: entry 11" + std::string(60, '.'));
}

// One entry, one line: control characters escaped, a long entry cut to fit
// 255 bytes, never inside an escape or a character. Each destination whose
// default allows it gets the entry; observers get every entry as passed.
TEST_F(EventLogTest, AnEntryIsOneLineEscapedCutAndSentWhereItsDefaultsAllow) {
    std::string accents = "x";  // then 200 times é, two bytes: a cut on an odd byte
    for (int i = 0; i < 200; ++i) {
        accents += "\xc3\xa9";
    }
    const std::string forged = "smtp.example.org\n[2099-01-01 00:00:00 +0000] Forged: x";
    const std::string message = "100% done: %s %n %@ %%";
    SetDefault("logToPrivateConsoleLog", false);  // start and stop lines are written all the same
    StartLogging();
    LogEntry("only in the system log");
    SetDefault("logToPrivateConsoleLog", true);
    LogEntry(forged);
    LogEntry("250-first\r\n250 last\t\x1b[31mred\x7f \xc2\x85 \xe2\x80\xa8 C:\\dir \xc3\xa9");
    LogEntry(std::string(300, '\n'));
    LogEntry(accents);
    LogEntry(message);
    LogEntry(nullptr);
    SetDefault("logToSystemConsole", false);
    LogEntry("only in the file");
    SetDefault("logToPrivateConsoleLog", false);
    StopLogging();

    const Texts escaped = {
        "smtp.example.org\\n[2099-01-01 00:00:00 +0000] Forged: x",
        "250-first\\r\\n250 last\\t\\x1b[31mred\\x7f \\u0085 \\u2028 C:\\dir \xc3\xa9",
    };
    const Texts entries = entriesOf(logFile()), system = systemLog_.lines();
    ASSERT_EQ(entries.size(), 8u) << "each cut entry keeps its line feed";
    EXPECT_EQ(Texts(entries.begin() + 1, entries.begin() + 3), escaped);
    EXPECT_EQ(Texts(entries.begin() + 5, entries.end()),
              (Texts{message, "only in the file", "stop"}));
    ASSERT_EQ(system.size(), 6u);
    EXPECT_EQ(Texts(system.begin(), system.begin() + 3),
              (Texts{"only in the system log", escaped[0], escaped[1]}));
    EXPECT_EQ(Texts(system.begin() + 4, system.end()), (Texts{accents, message}))
        << "the system log gets the whole text";
    const Texts observed = entries_.lines();
    EXPECT_EQ((Texts{observed.at(1), observed.back()}), (Texts{forged, "only in the file"}));
    EXPECT_EQ(entries[3].size() % 2, 0u) << entries[3];
    EXPECT_EQ(entries[3].find_first_not_of("\\n"), std::string::npos) << entries[3];
    const std::size_t stampAndLineFeed = 29;
    EXPECT_GE(entries[4].size() + stampAndLineFeed, 254u);
    EXPECT_LE(entries[4].size() + stampAndLineFeed, 255u);
    EXPECT_TRUE(base::IsValidUtf8(entries[4]));
}

// The log file is on a disk that fills up: a write stops inside a line.
TEST_F(EventLogTest, EntryAfterAWriteCutShortStartsOnItsOwnLine) {
    StartLogging();
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{fs::file_size(logFile()) + 40, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LogEntry("this entry does not fit in the space that is left on the disk");
    LogEntry("nor does this one");
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, oldHandler);
    LogEntry("after the disk was cleaned up");
    StopLogging();

    Texts entries = entriesOf(logFile());
    entries.at(1).resize(std::min<std::size_t>(entries[1].size(), 10));  // where the disk filled
    EXPECT_EQ(entries, (Texts{"start", "this entry", "after the disk was cleaned up", "stop"}));
}

// Only a regular file at the path is written, never a link (to a file or our
// folder) or a FIFO (whose open would wait, holding the log's lock).
TEST_F(EventLogTest, OnlyARegularFileAtTheLogPathIsWritten) {
    const fs::path victim = root_ / "victim", elsewhere = root_ / "elsewhere";
    const fs::path folder = logFile().parent_path();
    testing_support::WriteText(victim, "precious\n");
    fs::create_directories(elsewhere);
    const std::function<void()> plants[] = {
        [&] { fs::create_symlink(victim, logFile()); },
        [&] { ASSERT_EQ(mkfifo(logFile().c_str(), 0600), 0); },
        [&] { fs::remove(folder), fs::create_directory_symlink(elsewhere, folder); },
    };
    for (const auto& plant : plants) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        plant();
        auto logging = std::async(std::launch::async, [] {
            StartLogging();
            LogEntry("x");
            StopLogging();
        });
        ASSERT_EQ(logging.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    }
    // Nor a link planted while the file is open.
    fs::remove_all(folder);
    StartLogging();
    fs::remove(logFile());
    fs::create_symlink(victim, logFile());
    LogEntry("x");
    StopLogging();
    EXPECT_EQ(testing_support::ReadText(victim), "precious\n");
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

}  // namespace
