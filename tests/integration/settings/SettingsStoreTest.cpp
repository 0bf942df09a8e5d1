#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "RunProgram.h"
#include "settings/Preferences.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = ORBALEN_DEFAULTS_TOOL;
const std::string kDomain(settings::kDomain);

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/settings-it-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(root_); }

    static ProgramResult Tool(std::vector<std::string> args) {
        args.insert(args.begin(), kTool);
        return RunProgram(args);
    }
    std::string fileText() const {
        std::stringstream text;
        text << std::ifstream(root_ / "OrbalenStatus" / (kDomain + ".json")).rdbuf();
        return text.str();
    }

    fs::path root_;
};

TEST_F(SettingsStoreTest, ToolWritesAreSeenByTheNextRead) {
    EXPECT_FALSE(settings::ReadFlag(settings::keys::kTitleIconOnly));
    EXPECT_TRUE(settings::ReadUseSSL());

    EXPECT_EQ(Tool({"write", kDomain, "TitleIconOnly", "-bool", "YES"}).exitCode, 0);
    EXPECT_EQ(Tool({"write", kDomain, "useSSL", "-bool", "NO"}).exitCode, 0);
    EXPECT_EQ(Tool({"write", kDomain, "Initial Refresh", "-int", "45"}).exitCode, 0);
    EXPECT_EQ(Tool({"write", kDomain, "MailServer", "-string", "smtp.example.org"}).exitCode, 0);
    EXPECT_TRUE(settings::ReadFlag(settings::keys::kTitleIconOnly));
    EXPECT_FALSE(settings::ReadUseSSL());
    EXPECT_EQ(settings::ReadInitialRefresh(), 45);

    EXPECT_EQ(Tool({"read", kDomain, "TitleIconOnly"}).output, "1\n");
    EXPECT_EQ(Tool({"read", kDomain, "Initial Refresh"}).output, "45\n");
    const auto all = Tool({"read", kDomain});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.output.find("\"Initial Refresh\" (integer) = 45\n"), std::string::npos);
    EXPECT_NE(all.output.find("\"useSSL\" (boolean) = 0\n"), std::string::npos);

    // A value stored as a number is no flag, whatever the number.
    EXPECT_EQ(Tool({"write", kDomain, "TitleIconOnly", "-int", "1"}).exitCode, 0);
    EXPECT_FALSE(settings::ReadFlag(settings::keys::kTitleIconOnly));

    EXPECT_EQ(Tool({"delete", kDomain, "useSSL"}).exitCode, 0);
    EXPECT_TRUE(settings::ReadUseSSL());
    EXPECT_NE(Tool({"read", kDomain, "useSSL"}).exitCode, 0);
}

TEST_F(SettingsStoreTest, ToolRejectsBadInputAndChangesNothing) {
    ASSERT_EQ(Tool({"write", kDomain, "MinutesInterval", "-int", "30"}).exitCode, 0);
    const std::string before = fileText();
    const std::vector<std::vector<std::string>> bad = {
        {"write", kDomain, "MinutesInterval", "-int", "30x"},
        {"write", kDomain, "MinutesInterval", "-int", "99999999999999999999"},
        {"write", kDomain, "TitleIconOnly", "-bool", "maybe"},
        {"write", kDomain, "MinutesInterval", "-date", "2020-01-01"},
        {"write", kDomain, "MinutesInterval"},
        {"write", "../elsewhere", "Key", "-int", "1"},
        {"delete", kDomain, "NoSuchKey"},
        {"frobnicate"},
    };
    for (const auto& args : bad) {
        EXPECT_NE(Tool(args).exitCode, 0) << args[0] << " " << args.back();
    }
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(settings::ReadMinutesInterval(), 30);
    EXPECT_FALSE(fs::exists(root_ / "elsewhere.json"));
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNothing) {
    constexpr int kWriters = 2;
    constexpr int kRounds = 150;
    pid_t children[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        children[w] = fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0) {
            for (int round = 0; round < kRounds; ++round) {
                const std::string key = "writer" + std::to_string(w) + "." + std::to_string(round);
                settings::SetAppValue(key, std::int64_t{round});
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
    const auto all = settings::CopyAllAppValues();
    EXPECT_EQ(all.size(), std::size_t{kWriters * kRounds});
    for (int w = 0; w < kWriters; ++w) {
        for (int round = 0; round < kRounds; ++round) {
            const std::string key = "writer" + std::to_string(w) + "." + std::to_string(round);
            ASSERT_EQ(settings::CopyAppValue(key), settings::Value(std::int64_t{round})) << key;
        }
    }
}

}  // namespace
