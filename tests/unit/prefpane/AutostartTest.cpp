#include "platform/Autostart.h"

#include <gtest/gtest.h>

#include "support/FileText.h"
#include "support/TempFolder.h"

namespace {

// Entries by their lines after "[Desktop Entry]"; "" stands for no file.
std::string E(const char* lines) {
    return lines ? std::string("[Desktop Entry]\n") + lines : "";
}
constexpr const char* kOurs = "Exec=/opt/o\n";

TEST(AutostartEntry, FollowsTheSessionsRulesAndKeepsTheUsersOwnLines) {
    struct Case {
        const char *why, *system, *user;
        bool set;
        const char* userAfter;
    } const cases[] = {
        {"system on: ours hides it", "Exec=x\n", nullptr, false, "Exec=/opt/o\nHidden=true\n"},
        {"ours hiding it: on again", "Exec=x\n", "Exec=/opt/o\nHidden=true\n", true,
         "Exec=/opt/o\nX-GNOME-Autostart-enabled=true\n"},
        {"system off: ours on", "X-GNOME-Autostart-enabled = false\n", nullptr, true,
         "Exec=/opt/o\nX-GNOME-Autostart-enabled=true\n"},
        {"the user's own: hidden, kept", nullptr, "Exec=o -x\n[Desktop Action x]\n", false,
         "Exec=o -x\nHidden=true\n[Desktop Action x]\n"},
        {"another group's key does not count", nullptr, "Exec=o\n[X]\nHidden=true\n", true,
         "Exec=o\n[X]\nHidden=true\n"},
    };
    for (const Case& c : cases) {
        testing_support::TempFolder root{"autostart"};
        std::filesystem::create_directories(root / "sys");
        std::filesystem::create_directories(root / "user");
        for (const auto& [file, text] : {std::pair(root / "sys/o.desktop", E(c.system)),
                                         std::pair(root / "user/o.desktop", E(c.user))}) {
            if (!text.empty()) {
                testing_support::WriteText(file, text);
            }
        }
        const platform::AutostartEntry entry({root / "user", {root / "no", root / "sys"}},
                                             "o.desktop", E(kOurs));
        EXPECT_EQ(entry.setEnabled(c.set), std::nullopt) << c.why;
        EXPECT_EQ(entry.enabled(), c.set) << c.why;
        EXPECT_EQ(testing_support::ReadText(root / "user/o.desktop"), E(c.userAfter)) << c.why;
    }
}

TEST(AutostartExec, PlainNameInUsrBinElseTheQuotedPath) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"/usr/bin/orbalenstatus", "orbalenstatus"},
        {"/opt/my apps/o", "\"/opt/my apps/o\""},
        {"/opt/a\"$`\\b%/o", "\"/opt/a\\\\\"\\\\$\\\\`\\\\\\\\b%%/o\""},
        {"/opt/line\nbreak/o", std::nullopt},
    };
    for (const auto& [program, exec] : cases) {
        EXPECT_EQ(platform::AutostartExec(program), exec) << program;
    }
}

}  // namespace
