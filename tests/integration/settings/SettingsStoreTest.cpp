#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/Preferences.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsTable.h"
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
    std::string output;
    std::string errors;
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

// Writes the program reads at once; a key it does not read is written with a
// warning, and another domain's keys are nobody's business but the user's.
TEST_F(SettingsStoreTest, ToolWritesAreSeenByTheNextRead) {
    const std::pair<std::vector<std::string>, std::string> writes[] = {
        {{"write", kDomain, "TitleIconOnly", "-bool", "YES"}, ""},
        {{"write", kDomain, "useSSL", "-bool", "NO"}, ""},
        {{"write", kDomain, "Initial Refresh", "-int", "45"}, ""},
        {{"write", kDomain, "Port", "-int", "587"}, ""},
        {{"write", kDomain, "minutesInterval", "-int", "30"}, "does not read \"minutesInterval\""},
        {{"write", "org.example.Other", "useSSL", "-string", "x"}, ""},
    };
    for (const auto& [args, warning] : writes) {
        const auto result = Tool(args);
        EXPECT_EQ(result.exitCode, 0) << args[2];
        EXPECT_NE(result.errors.find(warning), std::string::npos) << result.errors;
        EXPECT_EQ(result.errors.empty(), warning.empty()) << result.errors;
    }
    EXPECT_TRUE(settings::ReadFlag(settings::keys::kTitleIconOnly));
    EXPECT_FALSE(settings::ReadUseSSL());
    EXPECT_EQ(settings::ReadInitialRefresh(), 45);
    EXPECT_EQ(settings::CopyAppValue("minutesInterval"), settings::Value(std::int64_t{30}));

    EXPECT_EQ(Tool({"read", kDomain, "TitleIconOnly"}).output, "1\n");
    const auto all = Tool({"read", kDomain});
    EXPECT_NE(all.output.find("\"Initial Refresh\" (integer) = 45\n"), std::string::npos);

    EXPECT_EQ(Tool({"delete", kDomain, "useSSL"}).exitCode, 0);
    EXPECT_TRUE(settings::ReadUseSSL());
}

// Each refusal says why and changes nothing, the store's own refusals
// included. A known key of the wrong type would read as its default.
TEST_F(SettingsStoreTest, ToolRejectsBadInputSaysWhyAndChangesNothing) {
    ASSERT_EQ(Tool({"write", kDomain, "MinutesInterval", "-int", "30"}).exitCode, 0);
    const std::string before = fileText();
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"write", kDomain, "useSSL", "-int", "1"}, "useSSL is a boolean: use -bool YES or NO"},
        {{"write", kDomain, "MinutesInterval", "-string", "30"}, "is an integer: use -int N"},
        {{"write", kDomain, "Email", "-bool", "YES"}, "Email is a string: use -string TEXT"},
        {{"write", kDomain, "Port", "-float", "25"}, "string or integer"},
        {{"write", kDomain, "MinutesInterval", "-int", "99999999999999999999"}, "not a valid"},
        {{"write", kDomain, "TitleIconOnly", "-bool", "maybe"}, "not a valid"},
        {{"write", kDomain, "Other", "-date", "2020-01-01"}, "unknown type"},
        {{"write", kDomain, "MinutesInterval"}, "usage"},
        {{"write", "../elsewhere", "Key", "-int", "1"}, "not a valid domain"},
        {{"write", kDomain, "Name", "-string", "caf\xe9"}, "not UTF-8"},
        {{"write", kDomain, "caf\xe9", "-int", "1"}, "not UTF-8"},
        {{"delete", kDomain, "NoSuchKey"}, "does not exist"},
    };
    for (const auto& [args, why] : bad) {
        const auto result = Tool(args);
        EXPECT_NE(result.exitCode, 0) << args[2];
        EXPECT_NE(result.errors.find(why), std::string::npos) << result.errors;
    }
    EXPECT_EQ(fileText(), before);
    EXPECT_FALSE(fs::exists(root_ / "elsewhere.json"));

    const fs::path file = root_ / "OrbalenStatus" / (kDomain + ".json");
    fs::remove(file);
    fs::create_directories(file);
    const auto result = Tool({"write", kDomain, "A", "-int", "1"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errors.find(file.string() + " is not a regular file"), std::string::npos)
        << result.errors;
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNothing) {
    constexpr int kWriters = 2;
    constexpr int kRounds = 150;
    auto key = [](int writer, int round) {
        return "writer" + std::to_string(writer) + "." + std::to_string(round);
    };
    pid_t children[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        children[w] = fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0) {
            for (int round = 0; round < kRounds; ++round) {
                settings::SetAppValue(key(w, round), std::int64_t{round});
                settings::AppSynchronize();
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    settings::AppSynchronize();
    EXPECT_EQ(settings::CopyAllAppValues().size(), std::size_t{kWriters * kRounds});
    for (int w = 0; w < kWriters; ++w) {
        for (int round = 0; round < kRounds; ++round) {
            ASSERT_EQ(settings::CopyAppValue(key(w, round)), settings::Value(std::int64_t{round}))
                << key(w, round);
        }
    }
}

// README.md and orbalenstatus(1) carry the settings table between marker
// lines, exactly as the table gives it, so neither drifts from the program.
std::string Between(const std::string& text, const std::string& begin, const std::string& end) {
    const auto from = text.find(begin);
    const auto to = text.find(end, from);
    return from == std::string::npos || to == std::string::npos
               ? "(markers missing)"
               : text.substr(from + begin.size(), to - from - begin.size());
}

TEST(SettingsDocs, ReadmeAndManPageCarryTheSettingsTable) {
    std::string markdown = "| Key | Type | Default | Set by | Meaning |\n|---|---|---|---|---|\n";
    std::string man;
    for (const settings::SettingInfo& s : settings::kSettingsTable) {
        const std::string type(settings::TypeName(s.type));
        markdown += "| `" + std::string(s.key) + "` | " + type + " | " +
                    std::string(s.defaultText) + " | " + std::string(s.writers) + " | " +
                    std::string(s.meaning) + " |\n";
        man += ".TP\n.B \"" + std::string(s.key) + "\"\n" + type + ", default " +
               std::string(s.defaultText) + ", set by " + std::string(s.writers) + ".\n" +
               std::string(s.meaning) + "\n";
    }
    const auto source = [](const char* file) {
        return testing_support::ReadText(fs::path(ORBALEN_SOURCE_DIR) / file);
    };
    EXPECT_EQ(
        Between(source("README.md"), "<!-- settings table -->\n", "<!-- end of settings table -->"),
        markdown);
    EXPECT_EQ(Between(source("resources/man/orbalenstatus.1"), ".\\\" settings table\n",
                      ".\\\" end of settings table"),
              man);
}

}  // namespace
