#include "controller/ControllerState.h"

std::vector<std::string> gAddresses;
std::optional<std::string> gExternalIPAddress;
std::optional<std::string> gWirelessNetwork;
std::optional<std::chrono::system_clock::time_point> gLastInternalChange;
std::optional<std::chrono::system_clock::time_point> gLastExternalChange;

namespace controller {

AddressState CurrentAddressState() {
    return AddressState{gAddresses, gExternalIPAddress, gWirelessNetwork, gLastInternalChange,
                        gLastExternalChange};
}

}  // namespace controller
