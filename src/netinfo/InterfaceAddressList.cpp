#include "netinfo/InterfaceAddressList.h"

#include <arpa/inet.h>

#include <new>

#include "netinfo/NetlinkSocket.h"
#include "netinfo/Require.h"

namespace netinfo {

void GetIPAddressListFromValue(const LinkRecord* key, const std::vector<std::uint32_t>* value,
                               AddressList* context) {
    NETINFO_REQUIRE(key != nullptr, "key != NULL");
    NETINFO_REQUIRE(value != nullptr, "value != NULL");
    NETINFO_REQUIRE(context != nullptr, "context != NULL");
    for (std::uint32_t address : *value) {
        char text[INET_ADDRSTRLEN] = {};
        in_addr raw{address};
        inet_ntop(AF_INET, &raw, text, sizeof text);
        context->emplace_back(text);
    }
}

AddressList BuildAddressList(const NetworkState& state) {
    AddressList list;
    for (const InterfaceAddresses& entry : OrderInterfaces(state)) {
        GetIPAddressListFromValue(&entry.link, &entry.addresses, &list);
    }
    return list;
}

std::int32_t StatusFromErrno(int error) {
    return error != 0 ? error : kAddressListGenericFailure;
}

std::int32_t CopyIPAddressListSCF(std::unique_ptr<AddressList>* addrList) {
    NETINFO_REQUIRE(addrList != nullptr, "addrList != NULL");
    NETINFO_REQUIRE(*addrList == nullptr, "*addrList == NULL");

    std::int32_t err = 0;
    try {
        NetlinkSocket connection;
        if (auto state = connection.dumpState()) {
            *addrList = std::make_unique<AddressList>(BuildAddressList(*state));
        } else {
            err = StatusFromErrno(connection.error());
        }
    } catch (const std::bad_alloc&) {
        addrList->reset();
        err = kAddressListNoMemory;
    }

    NETINFO_REQUIRE((err == 0) == (*addrList != nullptr), "(err == noErr) == (*addrList != NULL)");
    return err;
}

}  // namespace netinfo
