// The address list and its change events against the kernel, in a network
// namespace of the test's own: three veth pairs, the default route on
// the second, a link-local and a point-to-point address. And the wireless
// look-up against this machine's kernel.
#include <linux/netlink.h>
#include <sched.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "netinfo/AddressChangeSource.h"
#include "netinfo/WirelessNetwork.h"
#include "netinfo/WirelessReport.h"
#include "support/ChildProcess.h"
#include "support/ManualRunLoop.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

using netinfo::AddressList;
using netinfo::CopyIPAddressListSCF;
using netinfo::IPAddressListStore;

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;

// Runs body on a thread of its own in a new network namespace: unshare(2)
// moves only that thread, and the `ip` commands it starts, out of the
// test's namespace. The namespace ends with them.
void InOwnNamespace(const std::function<void()>& body) {
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            GTEST_SKIP() << "needs the right to create network namespaces (root)";
        }
        body();
    }).join();
}

// Runs `ip` commands, one per line; true when all succeeded.
bool Ip(const std::string& commands) {
    ChildProcess ip({"ip", "-batch", "-"}, {}, commands + "\n");
    return ip.wait(60s) == 0;
}

AddressList Copy() {
    std::unique_ptr<AddressList> list;
    EXPECT_EQ(CopyIPAddressListSCF(&list), 0);
    return list ? *list : AddressList{};
}

// A store watching the kernel from a loop of its own: how often its callback
// ran, and the list the store handed it each time.
struct Watched {
    Watched() {
        platform::RunLoop::WatchId source = 0;
        EXPECT_EQ(CreateIPAddressListChangeCallbackSCF(loop, &Changed, this, &store, &source), 0);
        EXPECT_NE(source, 0u);
    }

    static void Changed(IPAddressListStore* store, void* context) {
        auto* self = static_cast<Watched*>(context);
        ++self->calls;
        self->lastList = store->addresses();
    }

    bool settlesOn(const AddressList& wanted, std::chrono::milliseconds timeout = 5s) {
        return loop.runUntil([&] { return lastList == wanted; }, timeout);
    }

    // Runs the loop for a while; true when the callback did not run meanwhile.
    bool staysQuiet(std::chrono::milliseconds period) {
        const int before = calls;
        loop.runUntil([] { return false; }, period);
        return calls == before;
    }

    testing_support::ManualRunLoop loop{testing_support::ManualRunLoop::Clock::Real};
    int calls = 0;
    AddressList lastList;
    std::unique_ptr<IPAddressListStore> store;
};

// The store's event socket: the one bound to rtnetlink groups.
int EventSocket() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename());
        int domain = 0;
        socklen_t size = sizeof domain;
        sockaddr_nl local{};
        socklen_t localSize = sizeof local;
        if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_NETLINK &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 &&
            local.nl_groups != 0) {
            return fd;
        }
    }
    return -1;
}

TEST(AddressChanges, ListAndCallbackFollowTheKernel) {
    InOwnNamespace([] {
        std::string links;  // veth pairs v0-p0 .. v2-p2, up at both ends
        for (const std::string n : {"0", "1", "2"}) {
            links += "link add v" + n + " type veth peer name p" + n + "\nlink set v" + n +
                     " up\nlink set p" + n + " up\n";
        }
        ASSERT_TRUE(Ip(links + "addr add 10.1.0.1/24 dev v0\naddr add 10.1.0.2/24 dev v0\n"
                               "addr add 169.254.1.1/16 dev v1\naddr add 10.2.0.1/24 dev v1\n"
                               "route add default via 10.2.0.254 dev v1\n"
                               "addr add 10.9.0.1 peer 10.9.0.2 dev v1"));
        // The default route's interface first, link-local last within it; on
        // a point-to-point address our own end, not the peer.
        EXPECT_EQ(Copy(),
                  (AddressList{"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.0.1", "10.1.0.2"}));

        Watched watched;
        ASSERT_TRUE(watched.store);
        const std::pair<const char*, AddressList> steps[] = {
            {"addr add 10.1.1.7/24 dev v0",
             {"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.0.1", "10.1.1.7", "10.1.0.2"}},
            {"addr del 10.1.0.1/24 dev v0", {"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.1.7"}},
            {"link set v0 down", {"10.2.0.1", "10.9.0.1", "169.254.1.1"}},
            {"link set v0 up", {"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.1.7"}},
            // Moving the default route reorders the list with no address event.
            {"route replace default via 10.1.1.254 dev v0 onlink",
             {"10.1.1.7", "10.2.0.1", "10.9.0.1", "169.254.1.1"}},
            // Pulling the cable (the peer goes down): the link loses carrier,
            // its address leaves and its route counts for nothing.
            {"link set p0 down", {"10.2.0.1", "10.9.0.1", "169.254.1.1"}},
            {"link set p0 up", {"10.1.1.7", "10.2.0.1", "10.9.0.1", "169.254.1.1"}},
        };
        for (const auto& [command, wanted] : steps) {
            ASSERT_TRUE(Ip(command));
            EXPECT_TRUE(watched.settlesOn(wanted)) << command;
        }

        // A link without addresses: the list stays, the callback still comes,
        // even when carrier goes and comes back before the loop looks (a
        // Wi-Fi network switch that keeps its address).
        for (const char* command :
             {"link set p2 down", "link set p2 up", "link set p2 down\nlink set p2 up"}) {
            const int calls = watched.calls;
            ASSERT_TRUE(Ip(command));
            EXPECT_TRUE(watched.loop.runUntil([&] { return watched.calls > calls; }, 5s))
                << command;
            EXPECT_EQ(watched.lastList, steps[std::size(steps) - 1].second);
        }

        // A lifetime-only update changes nothing the caller sees.
        ASSERT_TRUE(Ip("addr replace 10.1.1.7/24 dev v0 valid_lft 900 preferred_lft 600"));
        EXPECT_TRUE(watched.staysQuiet(300ms));

        // No callback once the store is gone.
        watched.store.reset();
        ASSERT_TRUE(Ip("addr del 10.1.1.7/24 dev v0"));
        EXPECT_TRUE(watched.staysQuiet(200ms));

        // With the smallest receive buffer the kernel allows, a burst of 1999
        // changes overflows the event socket for certain; the list must still
        // end right, and then stay quiet.
        Watched flooded;
        ASSERT_TRUE(flooded.store);
        const int fd = EventSocket();
        const int tiny = 1;
        ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
        std::string burst;
        for (int i = 1; i <= 1000; ++i) {
            const std::string address =
                "10.4." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + "/16";
            burst += "addr add " + address + " dev v2\n";
            if (i != 1000) {
                burst += "addr del " + address + " dev v2\n";
            }
        }
        ASSERT_TRUE(Ip(burst));
        const AddressList wanted{"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.4.4.1"};
        ASSERT_EQ(Copy(), wanted);
        EXPECT_TRUE(flooded.settlesOn(wanted, 10s));
        EXPECT_TRUE(flooded.staysQuiet(200ms));
    });
}

// With nl80211 the answer is what the report names; without it (no wireless
// here) nothing, and no report file is left behind as if one had been read.
TEST(WirelessLookup, AnswersWhatTheKernelReports) {
    testing_support::TempFolder runtime;
    testing_support::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().c_str());
    const auto report = netinfo::CopyWirelessReport();
    EXPECT_EQ(netinfo::GetCurrentWirelessNetwork(),
              report ? netinfo::ExtractWirelessNetworkName(*report) : std::nullopt);
    EXPECT_EQ(std::filesystem::exists(runtime / "orbalen" / "systemDump_forOrbalen.txt"),
              report.has_value());
}

}  // namespace
