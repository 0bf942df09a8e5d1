// The address list and its change events against the kernel, in a network
// namespace of the test's own: two veth interfaces, the default route on
// the second, a link-local and a point-to-point address.
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
#include "platform/ManualRunLoop.h"
#include "support/ChildProcess.h"

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

// How often the callback ran, and the list it found each time.
struct Observer {
    int calls = 0;
    AddressList lastList;

    static void Changed(IPAddressListStore*, void* context) {
        auto* self = static_cast<Observer*>(context);
        ++self->calls;
        self->lastList = Copy();
    }
};

// A store reporting to seen, or nothing (a failed expectation) when none
// could be made.
std::unique_ptr<IPAddressListStore> Watch(platform::RunLoop& loop, Observer& seen) {
    std::unique_ptr<IPAddressListStore> store;
    platform::RunLoop::WatchId source = 0;
    EXPECT_EQ(
        CreateIPAddressListChangeCallbackSCF(loop, &Observer::Changed, &seen, &store, &source), 0);
    EXPECT_NE(source, 0u);
    return store;
}

TEST(AddressChanges, ListAndCallbackFollowTheKernel) {
    InOwnNamespace([] {
        ASSERT_TRUE(
            Ip("link add v0 type veth peer name p0\nlink add v1 type veth peer name p1\n"
               "link set v0 up\nlink set p0 up\nlink set v1 up\nlink set p1 up\n"
               "addr add 10.1.0.1/24 dev v0\naddr add 10.1.0.2/24 dev v0\n"
               "addr add 169.254.1.1/16 dev v1\naddr add 10.2.0.1/24 dev v1\n"
               "route add default via 10.2.0.254 dev v1\n"
               "addr add 10.9.0.1 peer 10.9.0.2 dev v1"));
        // The default route's interface first, link-local last within it; on
        // a point-to-point address our own end, not the peer.
        EXPECT_EQ(Copy(),
                  (AddressList{"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.0.1", "10.1.0.2"}));

        platform::ManualRunLoop loop(platform::ManualRunLoop::Clock::Real);
        Observer seen;
        std::unique_ptr<IPAddressListStore> store = Watch(loop, seen);
        ASSERT_TRUE(store);

        const std::pair<const char*, AddressList> steps[] = {
            {"addr add 10.1.1.7/24 dev v0",
             {"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.0.1", "10.1.1.7", "10.1.0.2"}},
            {"addr del 10.1.0.1/24 dev v0", {"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.1.7"}},
            {"link set v0 down", {"10.2.0.1", "10.9.0.1", "169.254.1.1"}},
            {"link set v0 up", {"10.2.0.1", "10.9.0.1", "169.254.1.1", "10.1.1.7"}},
            // Moving the default route reorders the list with no address event.
            {"route replace default via 10.1.1.254 dev v0 onlink",
             {"10.1.1.7", "10.2.0.1", "10.9.0.1", "169.254.1.1"}},
        };
        for (const auto& [command, wanted] : steps) {
            ASSERT_TRUE(Ip(command));
            EXPECT_TRUE(loop.runUntil([&] { return seen.lastList == wanted; }, 5s)) << command;
        }

        // A lifetime-only update changes nothing the caller sees.
        int calls = seen.calls;
        ASSERT_TRUE(Ip("addr replace 10.1.1.7/24 dev v0 valid_lft 900 preferred_lft 600"));
        loop.runUntil([] { return false; }, 300ms);
        EXPECT_EQ(seen.calls, calls);

        // The loop does not run while thousands of events pile up, so the
        // socket overflows; the first look afterwards must still be right,
        // and once settled nothing more happens.
        std::string burst;
        for (int i = 1; i <= 1500; ++i) {
            const std::string address =
                "10.3." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + "/16";
            burst += "addr add " + address + " dev v0\n";
            if (i % 500 != 0) {
                burst += "addr del " + address + " dev v0\n";
            }
        }
        ASSERT_TRUE(Ip(burst));
        const AddressList wanted = Copy();
        ASSERT_EQ(wanted.size(), 4u + 3u);
        EXPECT_TRUE(loop.runUntil([&] { return seen.lastList == wanted; }, 10s));
        EXPECT_EQ(store->addresses(), wanted);
        calls = seen.calls;
        loop.runUntil([] { return false; }, 200ms);
        EXPECT_EQ(seen.calls, calls);

        // No callback once the store is gone.
        store.reset();
        ASSERT_TRUE(Ip("addr add 10.1.0.8/24 dev v0"));
        loop.runUntil([] { return false; }, 200ms);
        EXPECT_EQ(seen.calls, calls);
    });
}

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

// With the smallest receive buffer the kernel allows, a burst overflows the
// event socket for certain; the list must still end right.
TEST(AddressChanges, OverflowedEventsStillEndInTheRightList) {
    InOwnNamespace([] {
        ASSERT_TRUE(
            Ip("link add v0 type veth peer name p0\nlink set v0 up\nlink set p0 up\n"
               "addr add 10.1.0.1/24 dev v0"));
        platform::ManualRunLoop loop(platform::ManualRunLoop::Clock::Real);
        Observer seen;
        std::unique_ptr<IPAddressListStore> store = Watch(loop, seen);
        ASSERT_TRUE(store);
        const int fd = EventSocket();
        ASSERT_GE(fd, 0);
        const int tiny = 1;
        ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);

        std::string burst;
        for (int i = 1; i <= 1000; ++i) {
            const std::string address =
                "10.4." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + "/16";
            burst += "addr add " + address + " dev v0\n";
            if (i != 1000) {
                burst += "addr del " + address + " dev v0\n";
            }
        }
        ASSERT_TRUE(Ip(burst));  // 1999 changes while the loop does not run
        const AddressList wanted{"10.1.0.1", "10.4.4.1"};
        ASSERT_EQ(Copy(), wanted);
        EXPECT_TRUE(loop.runUntil([&] { return seen.lastList == wanted; }, 10s));
        EXPECT_EQ(store->addresses(), wanted);
    });
}

// Pulling the cable is simulated by taking the veth peer down: the link
// stays up but loses carrier.
TEST(AddressChanges, CarrierLossTakesTheLinkOutOfTheList) {
    InOwnNamespace([] {
        ASSERT_TRUE(
            Ip("link add v0 type veth peer name p0\nlink add v1 type veth peer name p1\n"
               "link add v2 type veth peer name p2\n"
               "link set v0 up\nlink set p0 up\nlink set v1 up\nlink set p1 up\n"
               "link set v2 up\nlink set p2 up\n"
               "addr add 10.1.0.1/24 dev v0\naddr add 10.2.0.1/24 dev v1\n"
               "route add default via 10.2.0.254 dev v1"));
        const AddressList both{"10.2.0.1", "10.1.0.1"};
        EXPECT_EQ(Copy(), both);

        platform::ManualRunLoop loop(platform::ManualRunLoop::Clock::Real);
        Observer seen;
        std::unique_ptr<IPAddressListStore> store = Watch(loop, seen);
        ASSERT_TRUE(store);

        // The default route's link loses carrier: its address leaves, and
        // the route no longer puts it first when it returns.
        ASSERT_TRUE(Ip("link set p1 down"));
        EXPECT_TRUE(loop.runUntil([&] { return seen.lastList == AddressList{"10.1.0.1"}; }, 5s));
        EXPECT_EQ(store->addresses(), AddressList{"10.1.0.1"});
        ASSERT_TRUE(Ip("link set p1 up"));
        EXPECT_TRUE(loop.runUntil([&] { return seen.lastList == both; }, 5s));

        // A link without addresses: the list stays, the callback still comes,
        // even when carrier goes and comes back before the loop looks (a
        // Wi-Fi network switch that keeps its address).
        for (const char* command :
             {"link set p2 down", "link set p2 up", "link set p2 down\nlink set p2 up"}) {
            const int calls = seen.calls;
            ASSERT_TRUE(Ip(command));
            EXPECT_TRUE(loop.runUntil([&] { return seen.calls > calls; }, 5s)) << command;
            EXPECT_EQ(seen.lastList, both);
        }
    });
}

}  // namespace
