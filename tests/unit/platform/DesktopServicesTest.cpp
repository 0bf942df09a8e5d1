// The desktop services' Linux parts: XDG folders, the launcher, the machine's
// name and the in-process notification center.
#include <sys/stat.h>

#include <QCoreApplication>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Folders.h"
#include "platform/Launcher.h"
#include "platform/MachineName.h"
#include "platform/NotificationCenter.h"
#include "platform/qt/PrettyHostname.h"
#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

namespace platform {
namespace {

TEST(FoldersTest, RelativeXdgPathsAreIgnored) {
    ScopedEnv home("HOME", "/home/someone");
    ScopedEnv data("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(platform::UserDataFolder(), fs::path("/home/someone/.local/share"));
    ScopedEnv dirs("XDG_CONFIG_DIRS", "relative:/opt/xdg:/etc/other");
    EXPECT_EQ(platform::SystemConfigFolder(), fs::path("/opt/xdg"));
}

TEST(FoldersTest, TemporaryFolderIsAlwaysPrivate) {
    testing_support::TempFolder base;
    ScopedEnv tmpdir("TMPDIR", base.path().c_str());

    // An open runtime folder is not used; the fallback is made private.
    const fs::path runtime = base / "runtime";
    fs::create_directory(runtime);
    chmod(runtime.c_str(), 0755);
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.c_str());
    const auto fallback = platform::UserTemporaryFolder();
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->parent_path(), base.path());
    struct stat info {};
    ASSERT_EQ(lstat(fallback->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    chmod(runtime.c_str(), 0700);
    EXPECT_EQ(platform::UserTemporaryFolder(), runtime);

    // A link planted where the fallback goes is refused, not followed.
    chmod(runtime.c_str(), 0755);
    fs::remove(*fallback);
    fs::create_directory_symlink(runtime, *fallback);
    EXPECT_FALSE(platform::UserTemporaryFolder());
}

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

TEST(MachineNameTest, PrettyHostnameIsReadWithItsQuotingUndone) {
    EXPECT_EQ(PrettyHostnameFromMachineInfo("# comment\nICON_NAME=computer\n"
                                            "PRETTY_HOSTNAME=\"Zo\xC3\xAB's \\\"Box\\\"\"\n"),
              "Zo\xC3\xAB's \"Box\"");
    EXPECT_EQ(PrettyHostnameFromMachineInfo("PRETTY_HOSTNAME='A \\ B'"), "A \\ B");
    EXPECT_FALSE(PrettyHostnameFromMachineInfo("PRETTY_HOSTNAME=\"\"\n"));
    EXPECT_FALSE(PrettyHostnameFromMachineInfo("#PRETTY_HOSTNAME=Box\nXPRETTY_HOSTNAME=Y\n"));
}

TEST(MachineNameTest, InstalledQueryComesFirstAndAnEmptyAnswerFallsThrough) {
    SetPrettyHostnameQuery(nullptr);
    const std::string fallback = CopyMachineName();
    SetPrettyHostnameQuery([] { return std::optional<std::string>("Desk"); });
    EXPECT_EQ(CopyMachineName(), "Desk");
    SetPrettyHostnameQuery([] { return std::optional<std::string>(""); });
    EXPECT_EQ(CopyMachineName(), fallback);

    // No system bus to ask: the chain goes straight on.
    testing_support::ScopedEnv bus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    EXPECT_EQ(QueryPrettyHostname(), std::nullopt);
    InstallPrettyHostnameQuery();
    EXPECT_EQ(CopyMachineName(), fallback);
    SetPrettyHostnameQuery(nullptr);
}

using Names = std::vector<std::string>;

TEST(NotificationCenterTest, DeliversToMatchingObserversOnce) {
    platform::LocalNotificationCenter center;
    Names seen;
    auto record = [&](const std::string& tag) {
        return [&, tag](const std::string& n, const std::string& o) {
            seen.push_back(tag + n + "|" + o);
        };
    };
    center.addObserver("Preferences Changed", "com.example.a", record(""));
    center.addObserver("", "com.example.b", record("any name: "));
    center.post("Preferences Changed", "com.example.a");
    center.post("Other", "com.example.b");
    center.post("Preferences Changed", "com.example.c");
    EXPECT_EQ(seen, (Names{"Preferences Changed|com.example.a", "any name: Other|com.example.b"}));
}

TEST(NotificationCenterTest, ObserversMayRemoveThemselvesAndOthersWhileRunning) {
    platform::LocalNotificationCenter center;
    int first = 0;
    int second = 0;
    platform::NotificationCenter::ObserverId firstId = 0, secondId = 0;
    firstId = center.addObserver("n", "", [&](const std::string&, const std::string&) {
        ++first;
        center.removeObserver(firstId);
        center.removeObserver(secondId);
    });
    secondId =
        center.addObserver("n", "", [&](const std::string&, const std::string&) { ++second; });
    center.post("n", "x");
    center.post("n", "x");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    center.removeObserver(999);
}

}  // namespace
}  // namespace platform
