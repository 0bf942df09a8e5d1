#include <gtest/gtest.h>

#include "support/ChildProcess.h"

using namespace std::chrono_literals;
using testing_support::ChildProcess;

namespace {

TEST(NotificationCenterBusTest, PreferencesChangedReachesAnotherProcessOnce) {
    if (testing_support::Run({"dbus-run-session", "--version"}) != 0) {
        GTEST_SKIP() << "dbus-run-session is not installed (package dbus)";
    }
    ChildProcess peer({"dbus-run-session", "--", ORBALEN_NOTIFICATION_PEER, ORBALEN_DEFAULTS_TOOL});
    const std::string output = peer.readAll(30s);
    EXPECT_EQ(peer.wait(5s), 0) << output;
    EXPECT_EQ(output, "local once\ntool 0\nreceived 2\nother 0\n");
}

TEST(NotificationCenterBusTest, ToolReportsAMissingBus) {
    ChildProcess tool({ORBALEN_DEFAULTS_TOOL, "notify"},
                      {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"});
    EXPECT_EQ(tool.wait(20s), 1);
}

}  // namespace
