// Runs the tests matching a filter again inside a private session bus with a
// throw-away home, so a Secret Service started there never touches the user's.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace integration {

// True inside that process; outside, runs it and returns false.
inline bool InPrivateSession(const std::string& filter) {
    constexpr const char* kInside = "ORBALEN_PRIVATE_SESSION";
    if (getenv(kInside)) {
        return true;
    }
    testing_support::TempFolder home("orbalen-session");
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    testing_support::ChildProcess session(
        {"dbus-run-session", "--", self, "--gtest_filter=" + filter},
        {std::string(kInside) + "=1", "HOME=" + home.path().string(),
         "XDG_DATA_HOME=" + (home / "data").string(),
         "XDG_CONFIG_HOME=" + (home / "config").string(),
         "XDG_RUNTIME_DIR=" + home.path().string()});
    const std::string output = session.readAll(std::chrono::seconds(60));
    EXPECT_EQ(session.wait(std::chrono::seconds(5)), 0) << output;
    return false;
}

// Starts gnome-keyring's Secret Service, unlocked, in this session.
inline bool StartKeyring() {
    testing_support::ChildProcess keyring(
        {"gnome-keyring-daemon", "--daemonize", "--unlock", "--components=secrets"}, {},
        "test-password");
    return keyring.wait(std::chrono::seconds(20)) == 0;
}

}  // namespace integration
