#include "netinfo/AddressOrder.h"

#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <net/if.h>

#include <algorithm>
#include <optional>

namespace netinfo {
namespace {

// IFF_LOWER_UP: <linux/if.h> defines it but cannot be included beside <net/if.h>.
constexpr unsigned kLowerUp = 1u << 16;

bool Contributes(const LinkRecord& link) {
    return HasCarrier(link) && !(link.flags & IFF_LOOPBACK);
}

bool IsLinkLocal(std::uint32_t address) {
    return (ntohl(address) & 0xFFFF0000u) == 0xA9FE0000u;
}

const LinkRecord* FindLink(const NetworkState& state, int index) {
    auto it = std::find_if(state.links.begin(), state.links.end(),
                           [index](const LinkRecord& link) { return link.index == index; });
    return it == state.links.end() ? nullptr : &*it;
}

// Lowest metric wins, as in the kernel's own choice; on a tie the first one
// the kernel reported.
std::optional<DefaultRoute> BestDefaultRoute(const NetworkState& state) {
    std::optional<DefaultRoute> best;
    for (const DefaultRoute& route : state.defaultRoutes) {
        const LinkRecord* link = FindLink(state, route.outputIndex);
        if (link && Contributes(*link) && (!best || route.priority < best->priority)) {
            best = route;
        }
    }
    return best;
}

std::vector<std::uint32_t> OrderedAddressesOf(const NetworkState& state, int index,
                                              std::optional<std::uint32_t> preferred) {
    std::vector<AddressRecord> own;
    std::copy_if(state.addresses.begin(), state.addresses.end(), std::back_inserter(own),
                 [index](const AddressRecord& a) { return a.index == index; });
    auto rank = [&](const AddressRecord& a) {
        if (preferred && a.address == *preferred) {
            return 0;
        }
        if (IsLinkLocal(a.address)) {
            return 3;
        }
        return (a.flags & IFA_F_SECONDARY) ? 2 : 1;
    };
    std::stable_sort(own.begin(), own.end(), [&](const AddressRecord& a, const AddressRecord& b) {
        return rank(a) < rank(b);
    });
    std::vector<std::uint32_t> addresses;
    for (const AddressRecord& a : own) {
        addresses.push_back(a.address);
    }
    return addresses;
}

}  // namespace

bool HasCarrier(const LinkRecord& link) {
    return (link.flags & IFF_UP) && (link.flags & (IFF_RUNNING | kLowerUp));
}

std::vector<InterfaceAddresses> OrderInterfaces(const NetworkState& state) {
    std::vector<const LinkRecord*> links;
    for (const LinkRecord& link : state.links) {
        if (Contributes(link)) {
            links.push_back(&link);
        }
    }
    const auto route = BestDefaultRoute(state);
    const int first = route ? route->outputIndex : 0;
    std::stable_sort(links.begin(), links.end(), [first](const LinkRecord* a, const LinkRecord* b) {
        if ((a->index == first) != (b->index == first)) {
            return a->index == first;
        }
        return a->index < b->index;
    });

    std::vector<InterfaceAddresses> result;
    for (const LinkRecord* link : links) {
        const auto preferred =
            route && link->index == first ? route->preferredSource : std::optional<std::uint32_t>{};
        result.push_back({*link, OrderedAddressesOf(state, link->index, preferred)});
    }
    return result;
}

}  // namespace netinfo
