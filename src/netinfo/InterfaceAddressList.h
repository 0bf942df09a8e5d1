#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netinfo/AddressOrder.h"

namespace netinfo {

// The machine's IPv4 addresses, read from the kernel over rtnetlink.

// Dotted quads, best first (see OrderInterfaces for the order).
using AddressList = std::vector<std::string>;

// Status codes of the address routines.
inline constexpr std::int32_t kAddressListNoMemory = -4960;       // a list could not be made
inline constexpr std::int32_t kAddressListGenericFailure = 1001;  // failed, without an errno

// Copies the IPv4 addresses of every interface that is up, loopback
// excluded. Returns 0 and a new list (possibly empty) through addrList, or
// an error code and nothing. addrList must point to an empty pointer.
std::int32_t CopyIPAddressListSCF(std::unique_ptr<AddressList>* addrList);

// Appends one interface's addresses (key: the interface, value: its
// addresses in list order) to the list being built (context).
void GetIPAddressListFromValue(const LinkRecord* key, const std::vector<std::uint32_t>* value,
                               AddressList* context);

// The address list that a dump describes.
AddressList BuildAddressList(const NetworkState& state);

// errno of a failed kernel call as a status, never 0.
std::int32_t StatusFromErrno(int error);

}  // namespace netinfo
