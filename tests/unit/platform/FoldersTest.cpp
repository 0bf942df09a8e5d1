#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

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

}  // namespace
