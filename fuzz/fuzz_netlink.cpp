// rtnetlink datagrams as the kernel might send them, malformed ones included:
// parsed into a network state, then ordered into the address list's interfaces.
#include <span>

#include "netinfo/AddressOrder.h"
#include "netinfo/NetlinkMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    netinfo::NetworkState state;
    netinfo::ParseNetlinkMessages(std::span(reinterpret_cast<const std::byte*>(data), size), state);
    for (const netinfo::InterfaceAddresses& entry : netinfo::OrderInterfaces(state)) {
        if (!netinfo::HasCarrier(entry.link)) {
            __builtin_trap();  // an interface without carrier never reaches the list
        }
    }
    return 0;
}
