#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/Preferences.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"
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

TEST_F(SettingsStoreTest, ToolWritesAreSeenByTheNextRead) {
    EXPECT_EQ(Tool({"write", kDomain, "TitleIconOnly", "-bool", "YES"}).exitCode, 0);
    EXPECT_EQ(Tool({"write", kDomain, "useSSL", "-bool", "NO"}).exitCode, 0);
    EXPECT_EQ(Tool({"write", kDomain, "Initial Refresh", "-int", "45"}).exitCode, 0);
    EXPECT_TRUE(settings::ReadFlag(settings::keys::kTitleIconOnly));
    EXPECT_FALSE(settings::ReadUseSSL());
    EXPECT_EQ(settings::ReadInitialRefresh(), 45);

    EXPECT_EQ(Tool({"read", kDomain, "TitleIconOnly"}).output, "1\n");
    const auto all = Tool({"read", kDomain});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.output.find("\"Initial Refresh\" (integer) = 45\n"), std::string::npos);
    EXPECT_NE(all.output.find("\"useSSL\" (boolean) = 0\n"), std::string::npos);

    EXPECT_EQ(Tool({"delete", kDomain, "useSSL"}).exitCode, 0);
    EXPECT_TRUE(settings::ReadUseSSL());
    EXPECT_NE(Tool({"read", kDomain, "useSSL"}).exitCode, 0);
}

// Each refusal changes nothing; the store's own refusals reach the user
// through the tool's message.
TEST_F(SettingsStoreTest, ToolRejectsBadInputSaysWhyAndChangesNothing) {
    ASSERT_EQ(Tool({"write", kDomain, "MinutesInterval", "-int", "30"}).exitCode, 0);
    const std::string before = fileText();
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"write", kDomain, "MinutesInterval", "-int", "30x"}, ""},
        {{"write", kDomain, "MinutesInterval", "-int", "99999999999999999999"}, ""},
        {{"write", kDomain, "TitleIconOnly", "-bool", "maybe"}, ""},
        {{"write", kDomain, "MinutesInterval", "-date", "2020-01-01"}, ""},
        {{"write", kDomain, "MinutesInterval"}, ""},
        {{"write", "../elsewhere", "Key", "-int", "1"}, ""},
        {{"write", kDomain, "Name", "-string", "caf\xe9"}, "not UTF-8"},
        {{"write", kDomain, "caf\xe9", "-int", "1"}, ""},
        {{"delete", kDomain, "NoSuchKey"}, ""},
        {{"frobnicate"}, ""},
    };
    for (const auto& [args, why] : bad) {
        const auto result = Tool(args);
        EXPECT_NE(result.exitCode, 0) << args[0] << " " << args.back();
        EXPECT_NE(result.errors.find(why), std::string::npos) << result.errors;
    }
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(settings::ReadMinutesInterval(), 30);
    EXPECT_FALSE(fs::exists(root_ / "elsewhere.json"));

    const fs::path file = root_ / "OrbalenStatus" / (kDomain + ".json");
    fs::remove(file);
    fs::create_directories(file);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"read", kDomain}, {"write", kDomain, "A", "-int", "1"}}) {
        const auto result = Tool(args);
        EXPECT_NE(result.exitCode, 0) << args[0];
        EXPECT_NE(result.errors.find(file.string() + " is not a regular file"), std::string::npos)
            << result.errors;
    }
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

}  // namespace
