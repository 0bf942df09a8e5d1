// The wireless look-up against this machine's kernel: with nl80211 the
// answer is what the report names; without it (no wireless here) nothing,
// and no report file is left behind as if one had been read.
#include <filesystem>

#include <gtest/gtest.h>

#include "netinfo/WirelessNetwork.h"
#include "netinfo/WirelessReport.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

using netinfo::GetCurrentWirelessNetwork;

namespace {

TEST(WirelessLookup, AnswersWhatTheKernelReports) {
    testing_support::TempFolder runtime;
    testing_support::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().c_str());
    const auto report = netinfo::CopyWirelessReport();
    EXPECT_EQ(GetCurrentWirelessNetwork(),
              report ? netinfo::ExtractWirelessNetworkName(*report) : std::nullopt);
    EXPECT_EQ(std::filesystem::exists(runtime / "orbalen" / "systemDump_forOrbalen.txt"),
              report.has_value());
}

}  // namespace
