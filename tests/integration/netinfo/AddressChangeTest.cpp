// The address list and its change events against the kernel, in network
// namespaces of the test's own: two veth interfaces, the default route on
// the second, a link-local address.
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NetworkNamespace.h"
#include "netinfo/AddressChangeSource.h"
#include "platform/ManualRunLoop.h"

namespace {

using namespace std::chrono_literals;
using testing_support::NetworkNamespace;

class AddressChanges : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0 || !ns_.created()) {
            GTEST_SKIP() << "needs root to create network namespaces";
        }
        for (const char* pair : {"0", "1"}) {
            ASSERT_TRUE(ns_.ip({"link", "add", std::string("v") + pair, "type", "veth", "peer",
                                "name", std::string("p") + pair}));
            ASSERT_TRUE(ns_.ip({"link", "set", std::string("v") + pair, "up"}));
            ASSERT_TRUE(ns_.ip({"link", "set", std::string("p") + pair, "up"}));
        }
        ASSERT_TRUE(ns_.ip({"addr", "add", "10.1.0.1/24", "dev", "v0"}));
        ASSERT_TRUE(ns_.ip({"addr", "add", "169.254.1.1/16", "dev", "v1"}));
        ASSERT_TRUE(ns_.ip({"addr", "add", "10.2.0.1/24", "dev", "v1"}));
        ASSERT_TRUE(ns_.ip({"route", "add", "default", "via", "10.2.0.254", "dev", "v1"}));
    }

    static std::vector<std::string> Copy() {
        std::unique_ptr<AddressList> list;
        EXPECT_EQ(CopyIPAddressListSCF(&list), 0);
        return list ? *list : AddressList{};
    }

    NetworkNamespace ns_;
};

// What the callback saw: how often it ran, with which context, and the list
// it found when it copied the addresses then.
struct Observer {
    int calls = 0;
    bool contextSeen = true;
    AddressList lastList;

    static void Changed(IPAddressListStore*, void* context) {
        auto* self = static_cast<Observer*>(context);
        ++self->calls;
        std::unique_ptr<AddressList> list;
        self->contextSeen = CopyIPAddressListSCF(&list) == 0;
        self->lastList = list ? *list : AddressList{};
    }
};

TEST_F(AddressChanges, ListHoldsUpInterfacesDefaultRouteFirst) {
    ASSERT_TRUE(ns_.ip({"addr", "add", "10.1.0.2/24", "dev", "v0"}));  // a secondary
    ns_.runInside([] {
        EXPECT_EQ(Copy(), (AddressList{"10.2.0.1", "169.254.1.1", "10.1.0.1", "10.1.0.2"}));
    });
}

TEST_F(AddressChanges, EachRealChangeCallsBackOnceItSettles) {
    ns_.runInside([this] {
        platform::ManualRunLoop loop(platform::ManualRunLoop::Clock::Real);
        Observer seen;
        std::unique_ptr<IPAddressListStore> store;
        platform::RunLoop::WatchId source = 0;
        ASSERT_EQ(
            CreateIPAddressListChangeCallbackSCF(loop, &Observer::Changed, &seen, &store, &source),
            0);
        ASSERT_NE(source, 0u);

        auto expect = [&](const std::vector<std::string>& change, const AddressList& wanted) {
            const int before = seen.calls;
            ASSERT_TRUE(ns_.ip(change));
            EXPECT_TRUE(loop.runUntil([&] { return seen.lastList == wanted; }, 5s))
                << "after ip " << change[0] << " " << change[1];
            EXPECT_GT(seen.calls, before);
        };
        expect({"addr", "add", "10.1.1.7/24", "dev", "v0"},
               {"10.2.0.1", "169.254.1.1", "10.1.0.1", "10.1.1.7"});
        expect({"addr", "del", "10.1.0.1/24", "dev", "v0"},
               {"10.2.0.1", "169.254.1.1", "10.1.1.7"});
        expect({"link", "set", "v0", "down"}, {"10.2.0.1", "169.254.1.1"});
        expect({"link", "set", "v0", "up"}, {"10.2.0.1", "169.254.1.1", "10.1.1.7"});
        // Moving the default route reorders the list with no address event.
        expect({"route", "replace", "default", "via", "10.1.1.254", "dev", "v0", "onlink"},
               {"10.1.1.7", "10.2.0.1", "169.254.1.1"});

        // A lifetime-only update changes nothing the caller sees.
        const int before = seen.calls;
        ASSERT_TRUE(ns_.ip({"addr", "replace", "10.1.1.7/24", "dev", "v0", "valid_lft", "900",
                            "preferred_lft", "600"}));
        loop.runUntil([] { return false; }, 300ms);
        EXPECT_EQ(seen.calls, before);
        EXPECT_TRUE(seen.contextSeen);

        // No callback once the store is gone.
        store.reset();
        ASSERT_TRUE(ns_.ip({"addr", "add", "10.1.0.8/24", "dev", "v0"}));
        loop.runUntil([] { return false; }, 200ms);
        EXPECT_EQ(seen.calls, before);
    });
}

TEST_F(AddressChanges, BurstAgainstStalledReaderEndsInTheRightList) {
    ns_.runInside([this] {
        platform::ManualRunLoop loop(platform::ManualRunLoop::Clock::Real);
        Observer seen;
        std::unique_ptr<IPAddressListStore> store;
        platform::RunLoop::WatchId source = 0;
        ASSERT_EQ(
            CreateIPAddressListChangeCallbackSCF(loop, &Observer::Changed, &seen, &store, &source),
            0);

        // The loop does not run while thousands of events pile up, so the
        // socket overflows; the first look afterwards must still be right.
        std::vector<std::string> commands;
        for (int i = 1; i <= 1500; ++i) {
            const std::string address =
                "10.3." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + "/16";
            commands.push_back("addr add " + address + " dev v0");
            if (i % 500 != 0) {
                commands.push_back("addr del " + address + " dev v0");
            }
        }
        ASSERT_TRUE(ns_.ipBatch(commands));

        const AddressList wanted = Copy();
        ASSERT_EQ(wanted.size(), 3u + 3u);
        EXPECT_TRUE(loop.runUntil([&] { return seen.lastList == wanted; }, 10s));
        EXPECT_EQ(store->addresses(), wanted);
        // Once settled, nothing more happens.
        const int settled = seen.calls;
        loop.runUntil([] { return false; }, 200ms);
        EXPECT_EQ(seen.calls, settled);
    });
}

TEST(AddressChangeContract, PreconditionsStopTheProgram) {
    platform::ManualRunLoop loop;
    std::unique_ptr<IPAddressListStore> store;
    platform::RunLoop::WatchId source = 0;
    EXPECT_DEATH(CreateIPAddressListChangeCallbackSCF(loop, nullptr, nullptr, &store, &source),
                 "callback != NULL");
    source = 7;
    EXPECT_DEATH(
        CreateIPAddressListChangeCallbackSCF(loop, &Observer::Changed, nullptr, &store, &source),
        "\\*sourceRef == NULL");
}

}  // namespace
