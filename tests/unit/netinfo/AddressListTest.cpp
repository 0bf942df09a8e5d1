// rtnetlink messages the namespace tests cannot have the kernel send.
#include <arpa/inet.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/AddressOrder.h"

namespace {

using netinfo::NetworkState;
using netinfo::ParseNetlinkMessages;
using Bytes = std::vector<std::byte>;

const std::uint32_t kSource = htonl(0x0A000005);  // 10.0.0.5

// Every netlink header and payload used here is a multiple of 4 bytes long,
// so plain concatenation keeps the alignment the kernel's format needs.
Bytes Of(const Bytes& bytes) {
    return bytes;
}
template <class T>
Bytes Of(const T& value) {
    const auto* p = reinterpret_cast<const std::byte*>(&value);
    return {p, p + sizeof value};
}
template <class... T>
Bytes Cat(const T&... parts) {
    Bytes out;
    (std::ranges::copy(Of(parts), std::back_inserter(out)), ...);
    return out;
}
template <class T>
Bytes Attr(std::uint16_t type, const T& payload) {
    const Bytes bytes = Of(payload);
    return Cat(rtattr{static_cast<unsigned short>(RTA_LENGTH(bytes.size())), type}, bytes);
}
Bytes Message(std::uint16_t type, const Bytes& body, std::uint16_t flags = NLM_F_MULTI) {
    return Cat(nlmsghdr{static_cast<std::uint32_t>(NLMSG_LENGTH(body.size())), type, flags, 0, 0},
               body);
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
    const auto fields = [](const netinfo::DefaultRoute& r) {
        return std::tuple(r.outputIndex, r.priority, r.preferredSource);
    };
    const auto hop = [](int index) { return rtnexthop{sizeof(rtnexthop), 0, 0, index}; };
    const struct {
        const char* name;
        rtmsg route;
        Bytes attributes;
        std::optional<netinfo::DefaultRoute> wanted;
    } cases[] = {
        {"main table", Route(),
         Cat(Attr(RTA_OIF, 3u), Attr(RTA_PRIORITY, 100u), Attr(RTA_PREFSRC, kSource)),
         netinfo::DefaultRoute{3, 100, kSource}},
        {"table beyond 255 named by RTA_TABLE", Route(&rtmsg::rtm_table, RT_TABLE_UNSPEC),
         Cat(Attr(RTA_TABLE, RT_TABLE_MAIN), Attr(RTA_OIF, 2u)), netinfo::DefaultRoute{2, 0, {}}},
        {"another table", Route(&rtmsg::rtm_table, 200), Attr(RTA_OIF, 3u), std::nullopt},
        {"multipath", Route(), Attr(RTA_MULTIPATH, Cat(hop(4), hop(5))),
         netinfo::DefaultRoute{4, 0, {}}},
        {"output interface before multipath", Route(),
         Cat(Attr(RTA_MULTIPATH, hop(4)), Attr(RTA_OIF, 6u)), netinfo::DefaultRoute{6, 0, {}}},
        {"not a default route", Route(&rtmsg::rtm_dst_len, 24), Attr(RTA_OIF, 3u), std::nullopt},
        {"blackhole", Route(&rtmsg::rtm_type, RTN_BLACKHOLE), Attr(RTA_OIF, 3u), std::nullopt},
        {"no interface", Route(), Attr(RTA_PRIORITY, 5u), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NetworkState state;
        ParseNetlinkMessages(Message(RTM_NEWROUTE, Cat(c.route, c.attributes)), state);
        ASSERT_EQ(state.defaultRoutes.size(), c.wanted ? 1u : 0u);
        if (c.wanted) {
            EXPECT_EQ(fields(state.defaultRoutes[0]), fields(*c.wanted));
        }
    }
}

// A link that is up without carrier counts for nothing; the driver's
// lower-layer flag alone is carrier enough (veth pairs always set both).
TEST(NetlinkParsing, ReportsErrorsTornDumpsAndCarrier) {
    NetworkState state;
    // A kernel's error codes run from -1 to -4095; any other (INT_MIN has no
    // negation) means a garbled reply.
    for (const auto& [code, wanted] : {std::pair{-EPERM, EPERM}, {INT_MIN, EPROTO}, {17, EPROTO}}) {
        const Bytes error = Message(NLMSG_ERROR, Of(nlmsgerr{code, {}}), 0);
        EXPECT_EQ(ParseNetlinkMessages(error, state).error, wanted) << code;
    }
    const Bytes torn = Message(RTM_NEWLINK, Of(ifinfomsg{}), NLM_F_MULTI | NLM_F_DUMP_INTR);
    EXPECT_TRUE(ParseNetlinkMessages(torn, state).interrupted);
    EXPECT_FALSE(netinfo::HasCarrier({7, IFF_UP, "wlan0"}));
    EXPECT_TRUE(netinfo::HasCarrier({8, IFF_UP | (1u << 16) /* IFF_LOWER_UP */, "eth3"}));
}

}  // namespace
