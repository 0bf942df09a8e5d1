// Parsing of rtnetlink dumps and the order of the resulting address list,
// with kernel messages built by hand.
#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netinfo/InterfaceAddressList.h"

namespace {

using Datagram = std::vector<std::byte>;

std::uint32_t Ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

template <class T>
void Put(Datagram& d, const T& value) {
    const auto* p = reinterpret_cast<const std::byte*>(&value);
    d.insert(d.end(), p, p + sizeof value);
    d.resize(NLMSG_ALIGN(d.size()));
}

void PutAttribute(Datagram& d, unsigned short type, const void* data, std::size_t size) {
    rtattr a{static_cast<unsigned short>(RTA_LENGTH(size)), type};
    Put(d, a);
    const auto* p = static_cast<const std::byte*>(data);
    d.insert(d.end(), p, p + size);
    d.resize(NLMSG_ALIGN(d.size()));
}

// Appends one message: header, fixed body, attributes; fixes up the length.
class Message {
public:
    Message(Datagram& d, std::uint16_t type, std::uint16_t flags = NLM_F_MULTI)
        : d_(d), start_(d.size()) {
        nlmsghdr h{};
        h.nlmsg_type = type;
        h.nlmsg_flags = flags;
        Put(d_, h);
    }
    ~Message() {
        const auto length = static_cast<std::uint32_t>(d_.size() - start_);
        std::memcpy(d_.data() + start_, &length, sizeof length);
    }
    template <class T>
    Message& body(const T& b) {
        Put(d_, b);
        return *this;
    }
    Message& u32(unsigned short type, std::uint32_t v) {
        PutAttribute(d_, type, &v, sizeof v);
        return *this;
    }
    Message& text(unsigned short type, const std::string& s) {
        PutAttribute(d_, type, s.c_str(), s.size() + 1);
        return *this;
    }

private:
    Datagram& d_;
    std::size_t start_;
};

void AddLink(Datagram& d, int index, const std::string& name, unsigned flags) {
    ifinfomsg info{};
    info.ifi_index = index;
    info.ifi_flags = flags;
    Message(d, RTM_NEWLINK).body(info).text(IFLA_IFNAME, name);
}

void AddAddress(Datagram& d, int index, const char* address, std::uint32_t flags = 0) {
    ifaddrmsg info{};
    info.ifa_family = AF_INET;
    info.ifa_index = static_cast<std::uint32_t>(index);
    info.ifa_flags = static_cast<unsigned char>(flags);
    Message(d, RTM_NEWADDR).body(info).u32(IFA_ADDRESS, Ip(address)).u32(IFA_LOCAL, Ip(address));
}

void AddDefaultRoute(Datagram& d, int index, std::uint32_t metric, const char* source = nullptr) {
    rtmsg info{};
    info.rtm_family = AF_INET;
    info.rtm_table = RT_TABLE_MAIN;
    info.rtm_type = RTN_UNICAST;
    Message m(d, RTM_NEWROUTE);
    m.body(info).u32(RTA_OIF, static_cast<std::uint32_t>(index)).u32(RTA_PRIORITY, metric);
    if (source) {
        m.u32(RTA_PREFSRC, Ip(source));
    }
}

void AddDone(Datagram& d) {
    Message m(d, NLMSG_DONE);
    m.body(std::int32_t{0});
}

constexpr unsigned kUp = IFF_UP | IFF_RUNNING;

AddressList ListOf(const Datagram& d) {
    netinfo::NetworkState state;
    EXPECT_TRUE(netinfo::ParseNetlinkMessages(d, state).done);
    return netinfo::BuildAddressList(state);
}

TEST(AddressListParsing, KeepsUpInterfacesOnlyWithAllTheirAddresses) {
    Datagram d;
    AddLink(d, 1, "lo", IFF_UP | IFF_LOOPBACK);
    AddLink(d, 2, "eth0", kUp);
    AddLink(d, 3, "eth1", 0);  // down
    AddLink(d, 4, "wlan0", kUp);
    AddAddress(d, 1, "127.0.0.1");
    AddAddress(d, 3, "10.3.0.1");
    AddAddress(d, 4, "10.4.0.1");
    AddAddress(d, 2, "10.2.0.1");
    AddAddress(d, 2, "10.2.0.1");  // duplicates stay
    AddDone(d);
    EXPECT_EQ(ListOf(d), (AddressList{"10.2.0.1", "10.2.0.1", "10.4.0.1"}));
}

TEST(AddressListParsing, EmptyMachineGivesEmptyList) {
    Datagram d;
    AddLink(d, 1, "lo", IFF_UP | IFF_LOOPBACK);
    AddLink(d, 2, "eth0", kUp);  // configured, no address yet
    AddDone(d);
    EXPECT_TRUE(ListOf(d).empty());
}

TEST(AddressListOrder, DefaultRouteInterfaceFirstWithPreferredSource) {
    Datagram d;
    AddLink(d, 2, "eth0", kUp);
    AddLink(d, 5, "eth1", kUp);
    AddAddress(d, 2, "10.2.0.1");
    AddAddress(d, 5, "169.254.7.7");
    AddAddress(d, 5, "10.5.0.9", IFA_F_SECONDARY);
    AddAddress(d, 5, "10.5.0.1");
    AddAddress(d, 5, "10.5.0.2");
    AddDefaultRoute(d, 2, 600);
    AddDefaultRoute(d, 5, 100, "10.5.0.2");  // lower metric: the best route
    AddDone(d);
    EXPECT_EQ(ListOf(d),
              (AddressList{"10.5.0.2", "10.5.0.1", "10.5.0.9", "169.254.7.7", "10.2.0.1"}));
}

TEST(NetlinkParsing, ReportsErrorsInterruptionAndSurvivesGarbage) {
    Datagram error;
    nlmsgerr e{};
    e.error = -EPERM;
    Message(error, NLMSG_ERROR, 0).body(e);
    netinfo::NetworkState state;
    EXPECT_EQ(netinfo::ParseNetlinkMessages(error, state).error, EPERM);

    Datagram torn;
    AddLink(torn, 2, "eth0", kUp);
    std::uint16_t flags = NLM_F_MULTI | NLM_F_DUMP_INTR;
    std::memcpy(torn.data() + offsetof(nlmsghdr, nlmsg_flags), &flags, sizeof flags);
    EXPECT_TRUE(netinfo::ParseNetlinkMessages(torn, state).interrupted);

    // A message claiming more bytes than arrived is dropped without reading
    // out of bounds.
    Datagram truncated;
    AddAddress(truncated, 2, "10.2.0.1");
    truncated.resize(truncated.size() - 3);
    netinfo::NetworkState partial;
    const auto result = netinfo::ParseNetlinkMessages(truncated, partial);
    EXPECT_FALSE(result.done);
    EXPECT_TRUE(partial.addresses.empty());
}

TEST(AddressListContract, PreconditionsStopTheProgram) {
    std::unique_ptr<AddressList> held = std::make_unique<AddressList>();
    EXPECT_DEATH(CopyIPAddressListSCF(&held), "\\*addrList == NULL");
    EXPECT_DEATH(CopyIPAddressListSCF(nullptr), "addrList != NULL");
    EXPECT_DEATH(GetIPAddressListFromValue(nullptr, nullptr, nullptr), "key != NULL");
}

}  // namespace
