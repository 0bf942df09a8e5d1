#pragma once

#include <cstdint>
#include <vector>

#include "netinfo/NetlinkMessages.h"

namespace netinfo {

// One interface's share of the address list.
struct InterfaceAddresses {
    LinkRecord link;
    std::vector<std::uint32_t> addresses;  // network byte order, in list order
};

// The interfaces whose addresses make up the address list, in list order.
//
// The first address of the list is the one the menu-bar title shows and the
// change detection watches, so it should be the address the machine really
// talks from: the interface carrying the best IPv4 default route comes first
// (with that route's preferred source address first), then the other
// interfaces by index. Within an interface, primary addresses come before
// secondary ones and link-local (169.254/16) ones come last; otherwise the
// kernel's order is kept. Interfaces that are down or have no carrier (a
// pulled cable, a lost Wi-Fi network), and loopback, are left out, and so
// are default routes over them; nothing else is filtered, duplicates included.
std::vector<InterfaceAddresses> OrderInterfaces(const NetworkState& state);

// Whether a link is up and has carrier: only then do its addresses count.
bool HasCarrier(const LinkRecord& link);

}  // namespace netinfo
