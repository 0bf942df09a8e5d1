// The address list and its change events against the kernel, in a namespace.
#include <linux/netlink.h>
#include <sched.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "netinfo/AddressChangeSource.h"
#include "support/ChildProcess.h"
#include "support/ManualRunLoop.h"

using netinfo::AddressList;
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
        // secondary after the primary; our own end of a point-to-point link.
        std::unique_ptr<AddressList> list;
        ASSERT_EQ(netinfo::CopyIPAddressListSCF(&list), 0);
        EXPECT_EQ(*list,
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

        // Carrier lost and back before the loop looks (a Wi-Fi network switch)
        // still calls back, on a link without addresses too; the list stays.
        const int calls = watched.calls;
        ASSERT_TRUE(Ip("link set p2 down\nlink set p2 up"));
        EXPECT_TRUE(watched.loop.runUntil([&] { return watched.calls > calls; }, 5s));
        EXPECT_EQ(watched.lastList, steps[std::size(steps) - 1].second);

        // A lifetime-only update changes nothing the caller sees.
        ASSERT_TRUE(Ip("addr replace 10.1.1.7/24 dev v0 valid_lft 900 preferred_lft 600"));
        EXPECT_TRUE(watched.staysQuiet(300ms));

        // No callback once the store is gone. 1999 changes surely overflow the
        // smallest receive buffer; the list must still end right, then rest.
        watched.store.reset();
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
        EXPECT_TRUE(flooded.settlesOn(
            {"10.1.1.7", "10.2.0.1", "10.9.0.1", "169.254.1.1", "10.4.4.1"}, 10s));
        EXPECT_TRUE(flooded.staysQuiet(200ms));
        EXPECT_TRUE(watched.staysQuiet(100ms));
    });
}

}  // namespace
