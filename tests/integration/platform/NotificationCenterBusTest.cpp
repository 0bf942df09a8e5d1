#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "../settings/RunProgram.h"

namespace {

bool OnPath(const std::string& program) {
    return RunProgram({"sh", "-c", "command -v " + program + " >/dev/null"}).exitCode == 0;
}

TEST(NotificationCenterBusTest, PreferencesChangedReachesAnotherProcessOnce) {
    if (!OnPath("dbus-run-session")) {
        GTEST_SKIP() << "dbus-run-session is not installed (package dbus)";
    }
    const auto result = RunProgram(
        {"dbus-run-session", "--", ORBALEN_NOTIFICATION_PEER, ORBALEN_DEFAULTS_TOOL}, 30);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "local once\ntool 0\nreceived 2\nother 0\n");
}

TEST(NotificationCenterBusTest, ToolReportsAMissingBus) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    const auto result = RunProgram({ORBALEN_DEFAULTS_TOOL, "notify"});
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_EQ(result.exitCode, 1);
}

}  // namespace
