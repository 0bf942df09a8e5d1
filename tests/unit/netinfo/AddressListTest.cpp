// The address list: hostile rtnetlink input, the order of the list, and the
// contract of the address routines.
#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/AddressChangeSource.h"
#include "netinfo/InterfaceAddressList.h"
#include "platform/ManualRunLoop.h"

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

// Appends one message, header and fixed body, to d.
template <class Body>
void Append(Datagram& d, std::uint16_t type, const Body& body, std::uint16_t flags = NLM_F_MULTI) {
    nlmsghdr header{NLMSG_LENGTH(sizeof body), type, flags, 0, 0};
    const auto* h = reinterpret_cast<const std::byte*>(&header);
    const auto* b = reinterpret_cast<const std::byte*>(&body);
    d.insert(d.end(), h, h + sizeof header);
    d.insert(d.end(), b, b + sizeof body);
    d.resize(NLMSG_ALIGN(d.size()));
}

// Kernel dumps themselves are read in the namespace tests; here, what the
// kernel should never send.
TEST(NetlinkParsing, ReportsErrorsAndTornDumpsAndSurvivesTruncation) {
    NetworkState state;
    Datagram d;
    ifinfomsg link{};
    link.ifi_index = 2;
    link.ifi_flags = kUp;
    Append(d, RTM_NEWLINK, link);
    d.resize(d.size() - 3);  // claims more bytes than arrived: dropped, not read beyond
    d.shrink_to_fit();       // so that ASan sees any read past the end
    EXPECT_FALSE(ParseNetlinkMessages(d, state).done);
    EXPECT_TRUE(state.links.empty());

    d.clear();
    Append(d, NLMSG_ERROR, nlmsgerr{-EPERM, {}}, 0);
    EXPECT_EQ(ParseNetlinkMessages(d, state).error, EPERM);
    d.clear();
    Append(d, RTM_NEWLINK, link, NLM_F_MULTI | NLM_F_DUMP_INTR);
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
    // The lowest metric on an interface that is up (eth2 is down) wins; its
    // preferred source leads.
    state.defaultRoutes = {{2, 600, {}}, {5, 100, Ip("10.5.0.2")}, {3, 10, {}}};
    EXPECT_EQ(
        netinfo::BuildAddressList(state),
        (AddressList{"10.5.0.2", "10.5.0.1", "10.5.0.9", "169.254.7.7", "10.2.0.1", "10.2.0.1"}));

    state.defaultRoutes.clear();
    EXPECT_EQ(
        netinfo::BuildAddressList(state),
        (AddressList{"10.2.0.1", "10.2.0.1", "10.5.0.1", "10.5.0.2", "10.5.0.9", "169.254.7.7"}));
    EXPECT_TRUE(netinfo::BuildAddressList({}).empty());
}

TEST(AddressListContract, PreconditionsStopTheProgram) {
    auto held = std::make_unique<AddressList>();
    EXPECT_DEATH(CopyIPAddressListSCF(&held), "\\*addrList == NULL");
    platform::ManualRunLoop loop;
    std::unique_ptr<IPAddressListStore> store;
    platform::RunLoop::WatchId source = 0;
    EXPECT_DEATH(CreateIPAddressListChangeCallbackSCF(loop, nullptr, nullptr, &store, &source),
                 "callback != NULL");
}

}  // namespace
