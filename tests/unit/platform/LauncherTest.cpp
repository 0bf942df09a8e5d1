#include "platform/Launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Puts a stand-in opener first on PATH that records its arguments.
class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/launcher-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", dir_.c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        fs::remove_all(dir_);
    }
    void installOpener() {
        const fs::path opener = dir_ / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \""
                              << (dir_ / "args.tmp").string() << "\"\n/bin/mv \""
                              << (dir_ / "args.tmp").string() << "\" \"" << (dir_ / "args").string()
                              << "\"\n";
        chmod(opener.c_str(), 0755);
    }
    std::string waitForArgs() {
        for (int i = 0; i < 500 && !fs::exists(dir_ / "args"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::stringstream text;
        text << std::ifstream(dir_ / "args").rdbuf();
        return text.str();
    }

    fs::path dir_;
    std::string oldPath_;
};

TEST_F(LauncherTest, PassesTheItemAsOneAbsoluteArgumentWithoutAShell) {
    installOpener();
    // Blanks, quotes and a leading "-" stay one harmless argument.
    const std::string name = "-x $(touch pwned) 'a b'.log";
    ASSERT_TRUE(platform::OpenWithDefaultApplication(dir_ / name));
    EXPECT_EQ(waitForArgs(), (dir_ / name).string() + "\n");
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(LauncherTest, ReportsAMissingOpener) {
    EXPECT_FALSE(platform::OpenWithDefaultApplication(dir_ / "file.log"));
}

}  // namespace
