// Starts COUNT notification senders at once against a local SMTP server and
// prints how many were delivered, the total time, and the longest stall of
// the main loop while the conversations ran (measured by a 1 ms timer).
// Usage: mail_burst_probe PORT COUNT   (run by bench/mail_burst.sh)
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "log/EventLog.h"
#include "mail/SSMTP.h"
#include "settings/Preferences.h"
#include "support/ManualRunLoop.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PORT COUNT\n", argv[0]);
        return 2;
    }
    const std::string port = argv[1];
    const int count = std::max(1, std::atoi(argv[2]));

    char folder[] = "/tmp/orbalen-mail-burst-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return 1;
    }
    setenv("XDG_CONFIG_HOME", folder, 1);
    setenv("XDG_DATA_HOME", folder, 1);
    settings::SetAppValue("MailServer", std::string("127.0.0.1"));
    settings::SetAppValue("Port", port);
    settings::SetAppValue("Authentication", std::int64_t{0});
    settings::AppSynchronize();
    settings::UserDefaults::standard().setObject(false, "useSSL");
    settings::UserDefaults::standard().synchronize();

    int sent = 0;
    int ended = 0;
    eventlog::SetEventLogObserver([&](std::string_view line) {
        sent += line == "Message sent. Closing the connection.";
        ended += line == "Connection terminated." || line == "Connection timed out.";
    });

    testing_support::ManualRunLoop loop(testing_support::ManualRunLoop::Clock::Real);
    Clock::time_point lastTick = Clock::now();
    Clock::duration longestGap{};
    loop.addTimer(1ms, 1ms, [&] {
        const Clock::time_point now = Clock::now();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    Clock::time_point start;
    Clock::duration burst{};
    Clock::duration slowest{};
    loop.post([&] {
        start = Clock::now();
        for (int i = 0; i < count; ++i) {
            const Clock::time_point one = Clock::now();
            mail::SSMTP::create(loop)->sendMessage("10.0.0.2", std::string("10.0.0.1"),
                                                   "user" + std::to_string(i) + "@example.org",
                                                   "Machine \"%@\" moved from %@ to %@");
            slowest = std::max(slowest, Clock::now() - one);
        }
        burst = Clock::now() - start;
    });
    const bool done = loop.runUntil([&] { return ended == count; }, 60s);
    const Clock::duration total = Clock::now() - start;
    loop.runOnce(10ms);
    mail::EndConversations(loop);
    eventlog::SetEventLogObserver(nullptr);
    std::filesystem::remove_all(folder);

    std::printf("conversations: %d, delivered: %d%s\n", count, sent, done ? "" : " (timed out)");
    std::printf("total time: %.1f ms\n", Ms(total));
    std::printf("starting all senders took: %.2f ms (slowest one %.2f ms)\n", Ms(burst),
                Ms(slowest));
    // The timer is due every 1 ms, so anything beyond that is the loop busy.
    std::printf("longest main-loop stall: %.2f ms\n", std::max(0.0, Ms(longestGap) - 1.0));
    return done && sent == count ? 0 : 1;
}
