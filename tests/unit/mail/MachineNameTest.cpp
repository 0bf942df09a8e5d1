#include "platform/MachineName.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(MachineNameTest, PrettyHostnameIsReadWithItsQuotingUndone) {
    EXPECT_EQ(PrettyHostnameFromMachineInfo("PRETTY_HOSTNAME=Box\n"), "Box");
    EXPECT_EQ(PrettyHostnameFromMachineInfo("# comment\nICON_NAME=computer\n"
                                            "PRETTY_HOSTNAME=\"Zo\xC3\xAB's \\\"Box\\\"\"\n"),
              "Zo\xC3\xAB's \"Box\"");
    EXPECT_EQ(PrettyHostnameFromMachineInfo("PRETTY_HOSTNAME='A \\ B'"), "A \\ B");
}

TEST(MachineNameTest, MissingOrEmptyPrettyHostnameGivesNothing) {
    EXPECT_FALSE(PrettyHostnameFromMachineInfo(""));
    EXPECT_FALSE(PrettyHostnameFromMachineInfo("PRETTY_HOSTNAME=\"\"\n"));
    EXPECT_FALSE(PrettyHostnameFromMachineInfo("#PRETTY_HOSTNAME=Box\nXPRETTY_HOSTNAME=Y\n"));
}

TEST(MachineNameTest, InstalledQueryComesFirstAndAnEmptyAnswerFallsThrough) {
    SetPrettyHostnameQuery([] { return std::optional<std::string>("Desk"); });
    EXPECT_EQ(CopyMachineName(), "Desk");
    SetPrettyHostnameQuery([] { return std::optional<std::string>(""); });
    EXPECT_FALSE(CopyMachineName().empty());
    SetPrettyHostnameQuery(nullptr);
}

}  // namespace
}  // namespace platform
