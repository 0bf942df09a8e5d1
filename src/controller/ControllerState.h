#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "controller/Desktop.h"
#include "netinfo/Keychain.h"  // gMailserverPasswords

namespace controller {

// The process-wide address state beside the controller, touched on the
// controller's thread only.

// The current interface addresses in list order; entry 0 is the first
// address. Refilled by every refresh that reads the list.
extern std::vector<std::string> gAddresses;
// The cached external address; none until a lookup succeeds and after each
// clearing.
extern std::optional<std::string> gExternalIPAddress;
// The cached wireless network name ("?" when none was found); none at start.
extern std::optional<std::string> gWirelessNetwork;
// When the first internal and the external address were last seen to change.
extern std::optional<std::chrono::system_clock::time_point> gLastInternalChange;
extern std::optional<std::chrono::system_clock::time_point> gLastExternalChange;

// A copy of the state above for other windows.
AddressState CurrentAddressState();

}  // namespace controller
