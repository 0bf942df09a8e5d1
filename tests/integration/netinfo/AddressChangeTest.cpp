// The address list and its change events against the kernel, in a network
// namespace of the test's own; the wireless look-up against this machine's.
#include <linux/netlink.h>
#include <sched.h>
#include <sys/socket.h>

#include <chrono>
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

// Runs body in a new network namespace: unshare(2) moves only this thread,
// and the `ip` commands it starts, out of the test's namespace.
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
    }

    static void Changed(IPAddressListStore* store, void* context) {
        auto* self = static_cast<Watched*>(context);
        ++self->calls;
        self->lastList = store->addresses();
    }

    bool settlesOn(const AddressList& wanted, std::chrono::milliseconds timeout = 5s) {
        return loop.runUntil([&] { return lastList == wanted; }, timeout);
    }

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

// The store's event socket: the netlink socket bound to rtnetlink groups.
int EventSocket() {
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_nl local{};
        socklen_t size = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) == 0 &&
            local.nl_family == AF_NETLINK && local.nl_groups != 0) {
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
                               "addr add 10.9.0.1 peer 10.9.0.2 dev v1"));
        // Without a default route: by interface index, link-local last, the
        // secondary address after the primary; on a point-to-point address
        // our own end, not the peer.
        EXPECT_EQ(Copy(),
                  (AddressList{"10.1.0.1", "10.1.0.2", "10.2.0.1", "10.9.0.1", "169.254.1.1"}));

        Watched watched;
        ASSERT_TRUE(watched.store);
        const std::pair<const char*, AddressList> steps[] = {
            // The default route's interface first, its preferred source leading.
            {"route add default via 10.2.0.254 dev v1 metric 100 src 10.9.0.1",
             {"10.9.0.1", "10.2.0.1", "169.254.1.1", "10.1.0.1", "10.1.0.2"}},
            {"addr add 10.1.1.7/24 dev v0",
             {"10.9.0.1", "10.2.0.1", "169.254.1.1", "10.1.0.1", "10.1.1.7", "10.1.0.2"}},
            {"addr del 10.1.0.1/24 dev v0", {"10.9.0.1", "10.2.0.1", "169.254.1.1", "10.1.1.7"}},
            // The lowest metric wins.
            {"route add default via 10.1.1.254 dev v0 onlink",
             {"10.1.1.7", "10.2.0.1", "10.9.0.1", "169.254.1.1"}},
            // Pulling the cable (the peer goes down): the link loses carrier,
            // its address leaves and its route counts for nothing.
            {"link set p0 down", {"10.9.0.1", "10.2.0.1", "169.254.1.1"}},
            {"link set p0 up", {"10.1.1.7", "10.2.0.1", "10.9.0.1", "169.254.1.1"}},
        };
        for (const auto& [command, wanted] : steps) {
            ASSERT_TRUE(Ip(command));
            EXPECT_TRUE(watched.settlesOn(wanted)) << command;
        }

        // Carrier that goes and comes back before the loop looks (a Wi-Fi
        // network switch that keeps its address) still calls back, on a
        // link without addresses too; the list stays.
        const int calls = watched.calls;
        ASSERT_TRUE(Ip("link set p2 down\nlink set p2 up"));
        EXPECT_TRUE(watched.loop.runUntil([&] { return watched.calls > calls; }, 5s));
        EXPECT_EQ(watched.lastList, steps[std::size(steps) - 1].second);

        // A lifetime-only update changes nothing the caller sees.
        ASSERT_TRUE(Ip("addr replace 10.1.1.7/24 dev v0 valid_lft 900 preferred_lft 600"));
        EXPECT_TRUE(watched.staysQuiet(300ms));

        // No callback once the store is gone.
        watched.store.reset();
        ASSERT_TRUE(Ip("addr del 10.1.1.7/24 dev v0"));
        EXPECT_TRUE(watched.staysQuiet(200ms));

        // A burst of 1999 changes overflows the smallest receive buffer the
        // kernel allows for certain; the list must still end right, then
        // stay quiet.
        Watched flooded;
        ASSERT_TRUE(flooded.store);
        const int fd = EventSocket();
        const int tiny = 1;
        ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
        std::string burst;
        for (int i = 1; i < 1000; ++i) {
            const std::string address = "10.4." + std::to_string(i / 250) + "." +
                                        std::to_string(i % 250 + 1) + "/16 dev v2\n";
            burst += "addr add " + address + "addr del " + address;
        }
        ASSERT_TRUE(Ip(burst + "addr add 10.4.4.1/16 dev v2"));
        // v0 lost its last address, and the kernel its route with it.
        const AddressList wanted{"10.9.0.1", "10.2.0.1", "169.254.1.1", "10.4.4.1"};
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
