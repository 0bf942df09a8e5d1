// The defaults tool's settings notice without a session bus. (That the
// notice reaches a running program is checked end to end.)
#include <chrono>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"

namespace {

// A notice that reaches no bus is a failure; the tool never reports success.
TEST(DefaultsTool, NotifyFailsWithoutABus) {
    testing_support::ChildProcess tool({ORBALEN_DEFAULTS_TOOL, "notify"},
                                       {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"});
    EXPECT_EQ(tool.wait(std::chrono::seconds(20)), 1);
}

}  // namespace
