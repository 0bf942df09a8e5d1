#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace netinfo {

// What one rtnetlink dump says about the machine's IPv4 configuration,
// in the order the kernel reported it. Addresses are in network byte order.
struct LinkRecord {
    int index = 0;
    unsigned flags = 0;  // IFF_*
    std::string name;
};

struct AddressRecord {
    int index = 0;
    std::uint32_t address = 0;
    std::uint32_t flags = 0;  // IFA_F_*
};

// An IPv4 default route of the main table.
struct DefaultRoute {
    int outputIndex = 0;
    std::uint32_t priority = 0;
    std::optional<std::uint32_t> preferredSource;
};

struct NetworkState {
    std::vector<LinkRecord> links;
    std::vector<AddressRecord> addresses;
    std::vector<DefaultRoute> defaultRoutes;
};

struct ParseResult {
    bool done = false;         // NLMSG_DONE seen: the dump is complete
    bool interrupted = false;  // the kernel's tables changed during the dump
    int error = 0;             // errno from an NLMSG_ERROR reply, 0 if none
};

// Adds what the messages in one received datagram say to state. Messages
// other than links, IPv4 addresses and IPv4 default routes are skipped, as
// is anything truncated or malformed.
ParseResult ParseNetlinkMessages(std::span<const std::byte> datagram, NetworkState& state);

}  // namespace netinfo
