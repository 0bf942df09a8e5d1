// The address list: hostile rtnetlink input and the order of the list.
#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include <limits>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/InterfaceAddressList.h"
#include "support/ManualRunLoop.h"

using netinfo::AddressList;

namespace {

using netinfo::NetworkState;
using netinfo::ParseNetlinkMessages;
using Datagram = std::vector<std::byte>;
constexpr unsigned kUp = IFF_UP | IFF_RUNNING;

std::uint32_t Ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

template <class T>
std::vector<std::byte> BytesOf(const T& value) {
    const auto* p = reinterpret_cast<const std::byte*>(&value);
    return {p, p + sizeof value};
}

// Appends one message, header and body, to d.
void Append(Datagram& d, std::uint16_t type, const std::vector<std::byte>& body,
            std::uint16_t flags = NLM_F_MULTI) {
    const auto header =
        BytesOf(nlmsghdr{static_cast<std::uint32_t>(NLMSG_LENGTH(body.size())), type, flags, 0, 0});
    d.insert(d.end(), header.begin(), header.end());
    d.insert(d.end(), body.begin(), body.end());
    d.resize(NLMSG_ALIGN(d.size()));
}

// A route's body: the fixed part, then its {type, payload bytes} attributes.
using Attribute = std::pair<std::uint16_t, std::vector<std::byte>>;
std::vector<std::byte> RouteBody(const rtmsg& route, const std::vector<Attribute>& attributes) {
    std::vector<std::byte> body = BytesOf(route);
    for (const auto& [type, payload] : attributes) {
        const auto header =
            BytesOf(rtattr{static_cast<unsigned short>(RTA_LENGTH(payload.size())), type});
        body.insert(body.end(), header.begin(), header.end());
        body.insert(body.end(), payload.begin(), payload.end());
        body.resize(RTA_ALIGN(body.size()));
    }
    return body;
}

std::vector<std::byte> Nexthops(std::initializer_list<int> indexes) {
    std::vector<std::byte> hops;
    for (int index : indexes) {
        const auto bytes = BytesOf(rtnexthop{sizeof(rtnexthop), 0, 0, index});
        hops.insert(hops.end(), bytes.begin(), bytes.end());
    }
    return hops;
}

// The main table's unicast IPv4 default route, with one field changed.
rtmsg Route(unsigned char rtmsg::*field = &rtmsg::rtm_table, unsigned char value = RT_TABLE_MAIN) {
    rtmsg route{};
    route.rtm_family = AF_INET;
    route.rtm_table = RT_TABLE_MAIN;
    route.rtm_type = RTN_UNICAST;
    route.*field = value;
    return route;
}

// Only unicast IPv4 default routes of the main table count; the output
// interface comes from RTA_OIF, else the first hop of a multipath route.
TEST(NetlinkParsing, DefaultRoutesOfTheMainTableOnly) {
    const auto u32 = [](std::uint32_t v) { return BytesOf(v); };
    const auto fields = [](const netinfo::DefaultRoute& r) {
        return std::tuple(r.outputIndex, r.priority, r.preferredSource);
    };
    const struct {
        const char* name;
        rtmsg route;
        std::vector<Attribute> attributes;
        std::optional<netinfo::DefaultRoute> wanted;
    } cases[] = {
        {"main table",
         Route(),
         {{RTA_OIF, u32(3)}, {RTA_PRIORITY, u32(100)}, {RTA_PREFSRC, u32(Ip("10.0.0.5"))}},
         netinfo::DefaultRoute{3, 100, Ip("10.0.0.5")}},
        {"table beyond 255 named by RTA_TABLE",
         Route(&rtmsg::rtm_table, RT_TABLE_UNSPEC),
         {{RTA_TABLE, u32(RT_TABLE_MAIN)}, {RTA_OIF, u32(2)}},
         netinfo::DefaultRoute{2, 0, {}}},
        {"another table", Route(&rtmsg::rtm_table, 200), {{RTA_OIF, u32(3)}}, std::nullopt},
        {"RTA_TABLE overrides", Route(), {{RTA_TABLE, u32(1000)}, {RTA_OIF, u32(3)}}, std::nullopt},
        {"multipath",
         Route(),
         {{RTA_MULTIPATH, Nexthops({4, 5})}},
         netinfo::DefaultRoute{4, 0, {}}},
        {"output interface before multipath",
         Route(),
         {{RTA_MULTIPATH, Nexthops({4})}, {RTA_OIF, u32(6)}},
         netinfo::DefaultRoute{6, 0, {}}},
        {"cut multipath", Route(), {{RTA_MULTIPATH, {std::byte{8}, std::byte{0}}}}, std::nullopt},
        {"not a default route", Route(&rtmsg::rtm_dst_len, 24), {{RTA_OIF, u32(3)}}, std::nullopt},
        {"IPv6", Route(&rtmsg::rtm_family, AF_INET6), {{RTA_OIF, u32(3)}}, std::nullopt},
        {"blackhole", Route(&rtmsg::rtm_type, RTN_BLACKHOLE), {{RTA_OIF, u32(3)}}, std::nullopt},
        {"no interface", Route(), {{RTA_PRIORITY, u32(5)}}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Datagram d;
        Append(d, RTM_NEWROUTE, RouteBody(c.route, c.attributes));
        NetworkState state;
        ParseNetlinkMessages(d, state);
        ASSERT_EQ(state.defaultRoutes.size(), c.wanted ? 1u : 0u);
        if (c.wanted) {
            EXPECT_EQ(fields(state.defaultRoutes[0]), fields(*c.wanted));
        }
    }
}

// Kernel dumps themselves are read in the namespace tests; here, what the
// kernel should never send.
TEST(NetlinkParsing, ReportsErrorsAndTornDumpsAndSurvivesTruncation) {
    NetworkState state;
    Datagram d;
    ifinfomsg link{};
    link.ifi_index = 2;
    link.ifi_flags = kUp;
    Append(d, RTM_NEWLINK, BytesOf(link));
    d.resize(d.size() - 3);  // claims more bytes than arrived: dropped, not read beyond
    d.shrink_to_fit();       // so that ASan sees any read past the end
    EXPECT_FALSE(ParseNetlinkMessages(d, state).done);
    EXPECT_TRUE(state.links.empty());

    // A kernel's error codes run from -1 to -4095; any other (INT_MIN has no
    // negation) means a garbled reply.
    for (const auto& [code, wanted] : {std::pair{-EPERM, EPERM},
                                       {std::numeric_limits<int>::min(), EPROTO},
                                       {-5000, EPROTO},
                                       {17, EPROTO}}) {
        d.clear();
        Append(d, NLMSG_ERROR, BytesOf(nlmsgerr{code, {}}), 0);
        EXPECT_EQ(ParseNetlinkMessages(d, state).error, wanted) << code;
    }
    d.clear();
    Append(d, RTM_NEWLINK, BytesOf(link), NLM_F_MULTI | NLM_F_DUMP_INTR);
    EXPECT_TRUE(ParseNetlinkMessages(d, state).interrupted);
}

TEST(AddressListOrder, BestDefaultRouteFirstThenByIndexLinkLocalLast) {
    NetworkState state;
    // clang-format off
    state.links = {{1, IFF_UP | IFF_LOOPBACK, "lo"}, {5, kUp, "eth1"}, {2, kUp, "eth0"},
                   {3, 0, "eth2"}};
    state.addresses = {{1, Ip("127.0.0.1")}, {3, Ip("10.3.0.1")}, {2, Ip("10.2.0.1")},
                       {2, Ip("10.2.0.1")}, {5, Ip("169.254.7.7")},
                       {5, Ip("10.5.0.9"), IFA_F_SECONDARY}, {5, Ip("10.5.0.1")},
                       {5, Ip("10.5.0.2")}};
    // clang-format on
    // Without a default route: by interface index, link-local last.
    EXPECT_EQ(
        netinfo::BuildAddressList(state),
        (AddressList{"10.2.0.1", "10.2.0.1", "10.5.0.1", "10.5.0.2", "10.5.0.9", "169.254.7.7"}));

    // The lowest metric on an interface that is up (eth2 is down) wins; its
    // preferred source leads.
    state.defaultRoutes = {{2, 600, {}}, {5, 100, Ip("10.5.0.2")}, {3, 10, {}}};
    AddressList wanted{"10.5.0.2", "10.5.0.1", "10.5.0.9", "169.254.7.7", "10.2.0.1", "10.2.0.1"};
    EXPECT_EQ(netinfo::BuildAddressList(state), wanted);

    // A link that is up without carrier counts for nothing, its route neither;
    // the driver's lower-layer flag alone is carrier enough.
    state.links.push_back({7, IFF_UP, "wlan0"});
    state.links.push_back({8, IFF_UP | (1u << 16) /* IFF_LOWER_UP */, "eth3"});
    state.addresses.push_back({7, Ip("10.7.0.1")});
    state.addresses.push_back({8, Ip("10.8.0.1")});
    state.defaultRoutes.push_back({7, 1, {}});
    wanted.push_back("10.8.0.1");
    EXPECT_EQ(netinfo::BuildAddressList(state), wanted);
}

}  // namespace
