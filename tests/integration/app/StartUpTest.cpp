// What the program settles before its controller starts. (One instance per
// user is checked end to end, with and without a bus.)
#include <csignal>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "app/BusProbe.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/QuitSignals.h"
#include "support/ScopedEnv.h"

namespace {

using testing_support::ScopedEnv;

// (--help, --version, --headless and --standby are checked end to end.)
TEST(CommandLine, QtsOwnOptionsPassAndTheFirstUnknownOneIsNamed) {
    const char* argv[] = {"orbalenstatus", "-platform", "xcb",    "-h",
                          "--standby",     "--bogus",   "--other"};
    const app::CommandLine line = app::ParseCommandLine(std::size(argv), argv);
    EXPECT_TRUE(line.help && line.standby && !line.headless);
    EXPECT_EQ(line.unknownOption, "--bogus") << "single-dash options are Qt's";
}

TEST(DisplayCheck, HeadlessWithoutADisplayOrWhenAsked) {
    // DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM (nullptr: unset), --headless, wanted
    const std::tuple<const char*, const char*, const char*, bool, bool> cases[] = {
        {nullptr, "wayland-0", nullptr, false, true}, {"", "", nullptr, false, false},
        {":0", nullptr, "offscreen", false, false},   {":0", nullptr, "minimal", false, false},
        {nullptr, nullptr, "vnc", false, true},       {":0", nullptr, nullptr, true, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [display, wayland, platform, headlessOption, wanted] = cases[i];
        ScopedEnv displayEnv("DISPLAY", display);
        ScopedEnv waylandEnv("WAYLAND_DISPLAY", wayland);
        ScopedEnv platformEnv("QT_QPA_PLATFORM", platform);
        app::CommandLine line;
        line.headless = headlessOption;
        EXPECT_EQ(app::WantsDisplay(line), wanted) << "case " << i;
    }
}

TEST(BusProbe, FindsTheUnixSocketOfABusAddress) {
    const std::pair<const char*, std::string> cases[] = {
        {"unix:path=/tmp/a%20b,guid=0123", "/tmp/a b"},
        {"unix:abstract=/tmp/dbus-XYZ,guid=0123", std::string("\0/tmp/dbus-XYZ", 14)},
        {"tcp:host=127.0.0.1,port=1;unix:path=/second", "/second"},
        {"unix:tmpdir=/tmp", ""},
    };
    for (const auto& [address, socket] : cases) {
        EXPECT_EQ(app::UnixSocketOf(address), socket) << address;
    }
}

// Each quit signal shows on the pipe once: draining reports it, and a second
// drain finds nothing.
TEST(QuitSignals, EachSignalMakesThePipeReadableOnce) {
    const int fd = app::InstallQuitSignalPipe();
    ASSERT_GE(fd, 0);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_EQ(raise(signal), 0);
        EXPECT_TRUE(app::DrainQuitSignalPipe(fd)) << signal;
        EXPECT_FALSE(app::DrainQuitSignalPipe(fd)) << signal;
        std::signal(signal, SIG_DFL);
    }
}

}  // namespace
