// Measures how long an address change takes to reach the change callback:
// from starting `ip addr add` to the callback, over a number of changes.
// Run inside a network namespace (see address_change_latency.sh).
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "netinfo/AddressChangeSource.h"
#include "support/ManualRunLoop.h"

using netinfo::IPAddressListStore;

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool RunIp(std::vector<std::string> args) {
    args.insert(args.begin(), "ip");
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ip", nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Count(IPAddressListStore*, void* context) {
    ++*static_cast<int*>(context);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string device = argc > 1 ? argv[1] : "v0";
    const int changes = argc > 2 ? std::stoi(argv[2]) : 50;

    testing_support::ManualRunLoop loop(testing_support::ManualRunLoop::Clock::Real);
    int calls = 0;
    std::unique_ptr<IPAddressListStore> store;
    platform::RunLoop::WatchId source = 0;
    if (CreateIPAddressListChangeCallbackSCF(loop, Count, &calls, &store, &source) != 0) {
        std::fprintf(stderr, "cannot watch address changes\n");
        return 1;
    }

    std::vector<double> latencies;
    for (int i = 0; i < changes; ++i) {
        const int before = calls;
        const auto start = Clock::now();
        const std::string address = "10.77." + std::to_string(i) + ".1/24";
        if (!RunIp({"addr", "add", address, "dev", device})) {
            std::fprintf(stderr, "ip addr add %s failed\n", address.c_str());
            return 1;
        }
        if (!loop.runUntil([&] { return calls > before; }, std::chrono::seconds(5))) {
            std::fprintf(stderr, "no callback for change %d\n", i);
            return 1;
        }
        latencies.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(latencies.begin(), latencies.end());
    const double median =
        latencies.size() % 2
            ? latencies[latencies.size() / 2]
            : (latencies[latencies.size() / 2 - 1] + latencies[latencies.size() / 2]) / 2;
    std::printf("address change to callback over %d changes: median %.1f ms, max %.1f ms\n",
                changes, median, latencies.back());
    return 0;
}
