#include "platform/Launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <future>
#include <thread>

#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// The only program on PATH is a stand-in opener (once installed) that writes
// its arguments, one a line, to "args" when it is done.
class LauncherTest : public ::testing::Test {
protected:
    void installOpener() {
        const auto opener = dir_ / "xdg-open";
        testing_support::WriteText(opener,
                                   "#!/bin/sh\ncd \"${0%/*}\" || exit 1\n"
                                   "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.tmp\n"
                                   "/bin/mv args.tmp args\n");
        chmod(opener.c_str(), 0755);
    }
    std::string waitForArgs() {
        for (int i = 0; i < 500 && !fs::exists(dir_ / "args"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return testing_support::ReadText(dir_ / "args");
    }

    testing_support::TempFolder dir_;
    testing_support::ScopedEnv path_{"PATH", dir_.path().c_str()};
};

TEST_F(LauncherTest, PassesTheItemAsOneAbsoluteArgumentWithoutAShell) {
    EXPECT_FALSE(platform::OpenWithDefaultApplication(dir_ / "file.log")) << "no opener yet";
    installOpener();
    // Blanks, quotes and a leading "-" stay one harmless argument.
    const std::string name = "-x $(touch pwned) 'a b'.log";
    ASSERT_TRUE(platform::OpenWithDefaultApplication(dir_ / name));
    EXPECT_EQ(waitForArgs(), (dir_ / name).string() + "\n");
    EXPECT_FALSE(fs::exists("pwned"));
}

// The opener's exit status tells whether a viewer took the item (xdg-open
// fails when no program opens the file's type).
TEST_F(LauncherTest, ReportsWhetherTheOpenerSucceeded) {
    for (const auto& [status, opened] : {std::pair("0", true), std::pair("3", false)}) {
        testing_support::WriteText(dir_ / "xdg-open", std::string("#!/bin/sh\nexit ") + status);
        chmod((dir_ / "xdg-open").c_str(), 0755);
        std::promise<bool> answer;
        ASSERT_TRUE(platform::OpenWithDefaultApplication(
            dir_ / "file.log", [&](bool result) { answer.set_value(result); }));
        EXPECT_EQ(answer.get_future().get(), opened) << "exit " << status;
    }
}

}  // namespace
