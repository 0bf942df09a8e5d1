// The desktop services' Linux parts: temporary folder, launcher, machine name.
#include <sys/stat.h>

#include <future>
#include <string>

#include <gtest/gtest.h>

#include "platform/Folders.h"
#include "platform/Launcher.h"
#include "platform/MachineName.h"
#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

namespace platform {
namespace {

TEST(FoldersTest, TemporaryFolderIsAlwaysPrivate) {
    testing_support::TempFolder base;
    ScopedEnv tmpdir("TMPDIR", base.path().c_str());

    // An open runtime folder is not used; the fallback is made private.
    const fs::path runtime = base / "runtime";
    fs::create_directory(runtime);
    chmod(runtime.c_str(), 0755);
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.c_str());
    const auto fallback = UserTemporaryFolder();
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->parent_path(), base.path());
    struct stat info {};
    ASSERT_EQ(lstat(fallback->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    chmod(runtime.c_str(), 0700);
    EXPECT_EQ(UserTemporaryFolder(), runtime);

    // A link planted where the fallback goes is refused, not followed.
    chmod(runtime.c_str(), 0755);
    fs::remove(*fallback);
    fs::create_directory_symlink(runtime, *fallback);
    EXPECT_FALSE(UserTemporaryFolder());
}

// The opener, alone on PATH, writes its arguments and exits with the status
// the test chose (xdg-open fails when no program takes the file's type).
TEST(LauncherTest, PassesOneAbsoluteArgumentWithoutAShellAndReportsTheOutcome) {
    testing_support::TempFolder dir;
    ScopedEnv path("PATH", dir.path().c_str());
    EXPECT_FALSE(OpenWithDefaultApplication(dir / "file.log")) << "no opener yet";
    testing_support::WriteText(dir / "xdg-open",
                               "#!/bin/sh\ncd \"${0%/*}\" || exit 1\n"
                               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args\n"
                               "exit \"$(/bin/cat status)\"\n");
    chmod((dir / "xdg-open").c_str(), 0755);
    // Blanks, quotes and a leading "-" stay one harmless argument.
    const fs::path item = dir / "-x $(touch pwned) 'a b'.log";
    for (const auto& [status, opened] : {std::pair("0", true), std::pair("3", false)}) {
        testing_support::WriteText(dir / "status", status);
        std::promise<bool> answer;
        ASSERT_TRUE(OpenWithDefaultApplication(item, [&](bool ok) { answer.set_value(ok); }));
        EXPECT_EQ(answer.get_future().get(), opened) << "exit " << status;
    }
    EXPECT_EQ(testing_support::ReadText(dir / "args"), item.string() + "\n");
    EXPECT_FALSE(fs::exists("pwned"));
}

// The installed query comes first; an empty answer (hostnamed's when no
// pretty name is set) falls through to /etc/machine-info and on.
TEST(MachineNameTest, QueryFirstThenMachineInfoWithItsQuotingUndone) {
    SetPrettyHostnameQuery(nullptr);
    const std::string fallback = CopyMachineName();
    SetPrettyHostnameQuery([] { return std::optional<std::string>("Desk"); });
    EXPECT_EQ(CopyMachineName(), "Desk");
    SetPrettyHostnameQuery([] { return std::optional<std::string>(""); });
    EXPECT_EQ(CopyMachineName(), fallback);
    SetPrettyHostnameQuery(nullptr);

    EXPECT_EQ(PrettyHostnameFromMachineInfo("# comment\nICON_NAME=computer\n"
                                            "PRETTY_HOSTNAME=\"Zo\xC3\xAB's \\\"Box\\\"\"\n"),
              "Zo\xC3\xAB's \"Box\"");
    EXPECT_EQ(PrettyHostnameFromMachineInfo("PRETTY_HOSTNAME='A \\ B'"), "A \\ B");
    EXPECT_FALSE(PrettyHostnameFromMachineInfo("PRETTY_HOSTNAME=\"\"\n"));
    EXPECT_FALSE(PrettyHostnameFromMachineInfo("#PRETTY_HOSTNAME=Box\nXPRETTY_HOSTNAME=Y\n"));
}

}  // namespace
}  // namespace platform
