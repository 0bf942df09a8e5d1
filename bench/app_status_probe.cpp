// Asks the running program's status service on the session bus, for the
// figures script (app_figures.py):
//   app_status_probe first-title SECONDS
//       prints "ready", then polls the Title property until it is not empty and prints
//       the steady-clock time (ns) when it was first seen.
//   app_status_probe stall SECONDS
//       reads the Title property every 5 ms for SECONDS and prints the median, the 99th
//       percentile and the longest round trip (ms): the GUI thread answers
//       these, so a long one is a stall of that thread (or of the bus daemon
//       or this probe: compare with an idle run).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

QDBusMessage TitleCall() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("com.kestrune.OrbalenStatus"), QStringLiteral("/com/kestrune/OrbalenStatus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("com.kestrune.OrbalenStatus1") << QStringLiteral("Title");
    return call;
}

// The title, or nothing while the program is not there yet.
std::optional<QString> Title(QDBusConnection& bus) {
    const QDBusMessage reply = bus.call(TitleCall(), QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toString();
}

long long Nanoseconds(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

int FirstTitle(QDBusConnection& bus, Clock::duration limit) {
    std::puts("ready");
    std::fflush(stdout);
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const auto title = Title(bus);
        const auto seen = Clock::now();
        if (title && !title->isEmpty()) {
            std::printf("%lld\n", Nanoseconds(seen));
            return 0;
        }
        std::this_thread::sleep_for(500us);
    }
    return 1;
}

int Stall(QDBusConnection& bus, Clock::duration span) {
    std::vector<double> trips;
    const auto end = Clock::now() + span;
    while (Clock::now() < end) {
        const auto start = Clock::now();
        if (!Title(bus)) {
            std::puts("no answer");
            return 1;
        }
        trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(5ms);
    }
    std::sort(trips.begin(), trips.end());
    std::printf("calls=%zu median_ms=%.2f p99_ms=%.2f max_ms=%.2f\n", trips.size(),
                trips[trips.size() / 2], trips[trips.size() * 99 / 100], trips.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 3) {
        std::fputs("usage: app_status_probe first-title|stall SECONDS\n", stderr);
        return 2;
    }
    const std::string mode = argv[1];
    const auto seconds = std::chrono::seconds(std::stoi(argv[2]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (mode == "first-title") {
        return FirstTitle(bus, seconds);
    }
    return mode == "stall" ? Stall(bus, seconds) : 2;
}
