// The wireless look-up against this machine's kernel: with nl80211 the
// answer is what the report names; without it (no wireless here) nothing,
// and no report file is left behind as if one had been read.
#include <stdlib.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "netinfo/WirelessNetwork.h"
#include "netinfo/WirelessReport.h"

namespace {

namespace fs = std::filesystem;

TEST(WirelessLookup, AnswersWhatTheKernelReports) {
    char pattern[] = "/tmp/orbalen-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path runtime = pattern;
    setenv("XDG_RUNTIME_DIR", pattern, 1);

    const auto report = netinfo::CopyWirelessReport();
    const auto name = GetCurrentWirelessNetwork();
    const fs::path dump = runtime / "orbalen" / "systemDump_forOrbalen.txt";
    if (report) {
        EXPECT_EQ(name, netinfo::ExtractWirelessNetworkName(*report));
        EXPECT_TRUE(fs::exists(dump));
    } else {
        EXPECT_EQ(name, std::nullopt);
        EXPECT_FALSE(fs::exists(dump));
    }
    fs::remove_all(runtime);
}

}  // namespace
