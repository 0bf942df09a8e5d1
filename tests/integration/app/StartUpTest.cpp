// What the program settles before its controller starts: the command line,
// headless or not, the bus address, and the quit signals. (One instance per
// user is checked end to end, with and without a bus.)
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/BusProbe.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/QuitSignals.h"
#include "support/ScopedEnv.h"

namespace {

using testing_support::ScopedEnv;

app::CommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "orbalenstatus");
    return app::ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, KnownOptionsAndTheFirstUnknownOne) {
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    const app::CommandLine line =
        Parse({"-platform", "xcb", "--headless", "--standby", "--bogus", "--other"});
    EXPECT_TRUE(line.headless && line.standby);
    EXPECT_FALSE(line.help);
    EXPECT_EQ(line.unknownOption, "--bogus") << "single-dash options are Qt's";
}

TEST(DisplayCheck, HeadlessWithoutADisplayOrWhenAsked) {
    struct Case {
        const char* display;
        const char* wayland;
        const char* platform;
        bool headlessOption;
        bool wanted;
    };
    const Case cases[] = {
        {":0", nullptr, nullptr, false, true},      {nullptr, "wayland-0", nullptr, false, true},
        {nullptr, nullptr, nullptr, false, false},  {"", "", nullptr, false, false},
        {":0", nullptr, "offscreen", false, false}, {":0", nullptr, "minimal", false, false},
        {nullptr, nullptr, "vnc", false, true},     {":0", nullptr, nullptr, true, false},
    };
    for (const Case& c : cases) {
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        ScopedEnv platform("QT_QPA_PLATFORM", c.platform);
        app::CommandLine line;
        line.headless = c.headlessOption;
        EXPECT_EQ(app::WantsDisplay(line), c.wanted)
            << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-") << " "
            << (c.platform ? c.platform : "-") << " " << c.headlessOption;
    }
}

TEST(BusProbe, FindsTheUnixSocketOfABusAddress) {
    const std::pair<const char*, std::string> cases[] = {
        {"unix:path=/run/user/1000/bus", "/run/user/1000/bus"},
        {"unix:path=/tmp/a%20b,guid=0123", "/tmp/a b"},
        {"unix:abstract=/tmp/dbus-XYZ,guid=0123", std::string("\0/tmp/dbus-XYZ", 14)},
        {"tcp:host=127.0.0.1,port=1;unix:path=/second", "/second"},
        {"unix:tmpdir=/tmp", ""},
        {"tcp:host=127.0.0.1,port=1", ""},
        {"", ""},
    };
    for (const auto& [address, socket] : cases) {
        EXPECT_EQ(app::UnixSocketOf(address), socket) << address;
    }
}

TEST(QuitSignals, EachSignalMakesThePipeReadableOnce) {
    const int fd = app::InstallQuitSignalPipe();
    ASSERT_GE(fd, 0);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_EQ(raise(signal), 0);
        pollfd ready = {fd, POLLIN, 0};
        EXPECT_EQ(poll(&ready, 1, 1000), 1) << signal;
        app::DrainQuitSignalPipe(fd);
        EXPECT_EQ(poll(&ready, 1, 0), 0) << signal;
    }
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(signal, SIG_DFL);
    }
}

}  // namespace
