#include "platform/Autostart.h"

#include <gtest/gtest.h>

#include "support/FileText.h"
#include "support/TempFolder.h"

namespace {

using testing_support::ReadText;
using testing_support::WriteText;

const std::string kOurs = "[Desktop Entry]\nType=Application\nExec=/opt/o/orbalenstatus\n";
const std::string kOwn =
    "[Desktop Entry]\nType=Application\nExec=orbalenstatus -platform xcb\n[Desktop Action x]\n";

struct Case {
    const char* why;
    const char* system;  // the system entry, or nullptr
    std::string user;    // the user entry, or "" for none
    bool shownBefore;
    bool set;
    const char* userAfter;  // the user entry afterwards, or nullptr for none
};

TEST(AutostartEntry, FollowsTheSessionsRulesAndKeepsTheUsersOwnLines) {
    const Case cases[] = {
        {"nothing: ours, switched on", nullptr, "", false, true,
         "[Desktop Entry]\nType=Application\nExec=/opt/o/orbalenstatus\n"
         "X-GNOME-Autostart-enabled=true\n"},
        {"ours removed when no system entry", nullptr, kOurs + "X-GNOME-Autostart-enabled=true\n",
         true, false, nullptr},
        {"system on: hidden by ours", "[Desktop Entry]\nExec=x\n", "", true, false,
         "[Desktop Entry]\nType=Application\nExec=/opt/o/orbalenstatus\nHidden=true\n"},
        {"ours hidden over the system: on again", "[Desktop Entry]\nExec=x\n",
         kOurs + "Hidden=true\n", false, true,
         "[Desktop Entry]\nType=Application\nExec=/opt/o/orbalenstatus\n"
         "X-GNOME-Autostart-enabled=true\n"},
        {"system off by the GNOME key: ours on",
         "[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n", "", false, true,
         "[Desktop Entry]\nType=Application\nExec=/opt/o/orbalenstatus\n"
         "X-GNOME-Autostart-enabled=true\n"},
        {"the user's own entry is kept, hidden", nullptr, kOwn, true, false,
         "[Desktop Entry]\nType=Application\nExec=orbalenstatus -platform xcb\nHidden=true\n"
         "[Desktop Action x]\n"},
        {"the user's own entry, off, comes back as it was", nullptr,
         "[Desktop Entry]\nHidden=true\nExec=mine\nX-GNOME-Autostart-enabled=false\n", false, true,
         "[Desktop Entry]\nExec=mine\nX-GNOME-Autostart-enabled=true\n"},
        {"already as asked: untouched", nullptr, kOwn, true, true, kOwn.c_str()},
        {"a key in another group does not count", nullptr,
         "[Desktop Entry]\nExec=mine\n[Other]\nHidden=true\n", true, true,
         "[Desktop Entry]\nExec=mine\n[Other]\nHidden=true\n"},
    };
    for (const Case& c : cases) {
        testing_support::TempFolder root{"autostart"};
        const platform::AutostartFolders folders{root / "user", {root / "none", root / "sys"}};
        std::filesystem::create_directories(root / "sys");
        if (c.system) {
            WriteText(root / "sys" / "o.desktop", c.system);
        }
        if (!c.user.empty()) {
            std::filesystem::create_directories(root / "user");
            WriteText(root / "user" / "o.desktop", c.user);
        }
        const platform::AutostartEntry entry(folders, "o.desktop", kOurs);
        EXPECT_EQ(entry.enabled(), c.shownBefore) << c.why;
        EXPECT_EQ(entry.setEnabled(c.set), std::nullopt) << c.why;
        EXPECT_EQ(entry.enabled(), c.set) << c.why;
        const auto userFile = root / "user" / "o.desktop";
        EXPECT_EQ(std::filesystem::exists(userFile), c.userAfter != nullptr) << c.why;
        EXPECT_EQ(ReadText(userFile), c.userAfter ? c.userAfter : "") << c.why;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "sys"), {}),
                  c.system ? 1 : 0)
            << c.why << ": the system folder stays as it is";
    }
}

TEST(AutostartEntry, AFolderItCannotWriteInIsReportedAndChangesNothing) {
    testing_support::TempFolder root{"autostart"};
    WriteText(root / "user", "a file where the folder should be");
    const platform::AutostartEntry entry({root / "user", {}}, "o.desktop", kOurs);
    EXPECT_NE(entry.setEnabled(true), std::nullopt);
    EXPECT_FALSE(entry.enabled());
}

TEST(AutostartExec, PlainNameInUsrBinElseTheQuotedPath) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"/usr/bin/orbalenstatus", "orbalenstatus"},
        {"/home/ann/.local/bin/orbalenstatus", "/home/ann/.local/bin/orbalenstatus"},
        {"/opt/my apps/orbalenstatus", "\"/opt/my apps/orbalenstatus\""},
        {"/opt/a\"$`\\b%/o", "\"/opt/a\\\\\"\\\\$\\\\`\\\\\\\\b%%/o\""},
        {"/opt/line\nbreak/o", std::nullopt},
        {"relative/o", std::nullopt},
    };
    for (const auto& [program, exec] : cases) {
        EXPECT_EQ(platform::AutostartExec(program), exec) << program;
    }
}

}  // namespace
