#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/Preferences.h"
#include "settings/Readers.h"
#include "support/ChildProcess.h"
#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kDomain(settings::kDomain);

struct ToolResult {
    int exitCode;
    std::string output, errors;
};

// One run of the defaults tool on the test's settings folder.
ToolResult Tool(std::vector<std::string> args) {
    args.insert(args.begin(), ORBALEN_DEFAULTS_TOOL);
    testing_support::ChildProcess tool(args);
    std::string output = tool.readAll(20s);
    return {tool.wait(5s).value_or(-1), output, tool.readErrors()};
}

class SettingsStoreTest : public ::testing::Test {
protected:
    std::string fileText() const {
        return testing_support::ReadText(root_ / "OrbalenStatus" / (kDomain + ".json"));
    }

    testing_support::TempFolder root_{"settings-it"};
    testing_support::ScopedEnv config_{"XDG_CONFIG_HOME", root_.path().c_str()};
};

// Writes reach the program's readers; refusals say why and change nothing.
// In the program's own domain a known key keeps its type (another would read
// as the default) and an unknown key, likely misspelled, is written with a
// warning; other domains are the user's business.
TEST_F(SettingsStoreTest, ToolWritesWhatTheProgramReadsAndRefusesWhatItCannot) {
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"write", kDomain, "TitleIconOnly", "-bool", "YES"}, 0, ""},
        {{"write", kDomain, "Initial Refresh", "-int", "45"}, 0, ""},
        {{"write", kDomain, "useSSL", "-bool", "NO"}, 0, ""},
        {{"write", kDomain, "minutesinterval", "-int", "3"}, 0, "does not read \"minutesinterval"},
        {{"write", "org.example.Other", "useSSL", "-string", "x"}, 0, ""},
        {{"write", kDomain, "useSSL", "-int", "1"}, 1, "useSSL is a boolean: use -bool YES or NO"},
        {{"write", kDomain, "MinutesInterval", "-string", "30"}, 1, "is an integer: use -int N"},
        {{"write", kDomain, "Port", "-float", "25"}, 1, "string or integer"},
        {{"write", kDomain, "MinutesInterval", "-int", "99999999999999999999"}, 1, "not a valid"},
        {{"write", kDomain, "TitleIconOnly", "-bool", "maybe"}, 1, "not a valid"},
        {{"write", kDomain, "Other", "-date", "2020-01-01"}, 1, "unknown type"},
        {{"write", kDomain, "MinutesInterval"}, 2, "usage"},
        {{"write", "../elsewhere", "Key", "-int", "1"}, 1, "not a valid domain"},
        {{"write", kDomain, "Name", "-string", "caf\xe9"}, 1, "not UTF-8"},
        {{"delete", kDomain, "NoSuchKey"}, 1, "does not exist"},
        {{"delete", kDomain, "useSSL"}, 0, ""},
    };
    for (const auto& [args, exitCode, errors] : cases) {
        SCOPED_TRACE(args[2]);
        const std::string before = fileText();
        const auto result = Tool(args);
        EXPECT_EQ(result.exitCode, exitCode);
        EXPECT_NE(result.errors.find(errors), std::string::npos) << result.errors;
        EXPECT_EQ(result.errors.empty(), errors.empty()) << result.errors;
        EXPECT_TRUE(exitCode == 0 || fileText() == before);
    }
    EXPECT_FALSE(fs::exists(root_ / "elsewhere.json"));
    EXPECT_TRUE(settings::ReadFlag("TitleIconOnly"));
    EXPECT_TRUE(settings::ReadUseSSL());  // deleted: the default again
    EXPECT_EQ(Tool({"read", kDomain, "TitleIconOnly"}).output, "1\n");
    EXPECT_NE(Tool({"read", kDomain}).output.find("\"Initial Refresh\" (integer) = 45\n"),
              std::string::npos);
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNothing) {
    constexpr int kWriters = 2, kRounds = 150;
    for (int w = 0; w < kWriters; ++w) {
        if (fork() == 0) {
            for (int round = 0; round < kRounds; ++round) {
                const std::string key = "writer" + std::to_string(w) + "." + std::to_string(round);
                settings::SetAppValue(key, std::int64_t{round});
                settings::AppSynchronize();
            }
            _exit(0);
        }
    }
    for (int status = 0, w = 0; w < kWriters; ++w) {
        ASSERT_GT(wait(&status), 0);
        EXPECT_EQ(status, 0);
    }
    settings::AppSynchronize();
    const auto all = settings::CopyAllAppValues();
    EXPECT_EQ(all.size(), std::size_t{kWriters * kRounds});
    for (const auto& [key, value] : all) {  // "writerW.R" holds R
        EXPECT_EQ(value, settings::Value(std::int64_t{std::stoi(key.substr(key.find('.') + 1))}));
    }
}

// README.md and orbalenstatus(1) carry the settings table, as the tool
// prints it, between marker lines: neither drifts from what the program reads.
TEST(SettingsDocs, ReadmeAndManPageCarryTheSettingsTable) {
    const auto section = [](const char* file, const std::string& begin, const std::string& end) {
        const std::string text = testing_support::ReadText(fs::path(ORBALEN_SOURCE_DIR) / file);
        const auto from = text.find(begin), to = text.find(end, from);
        return to == std::string::npos ? ""
                                       : text.substr(from + begin.size(), to - from - begin.size());
    };
    EXPECT_EQ(section("README.md", "<!-- settings table -->\n", "<!-- end of settings table"),
              Tool({"keys"}).output);
    EXPECT_EQ(section("resources/man/orbalenstatus.1", ".\\\" settings table\n", ".\\\" end of"),
              Tool({"keys", "--man"}).output);
}

}  // namespace
