#include "platform/MachineName.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/qt/PrettyHostname.h"
#include "support/ScopedEnv.h"

namespace platform {
namespace {

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

}  // namespace
}  // namespace platform
