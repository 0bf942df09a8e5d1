#include "controller/ControllerState.h"

namespace controller {

std::vector<std::string> gAddresses;
std::optional<std::string> gExternalIPAddress;
std::optional<std::string> gWirelessNetwork;
std::optional<std::chrono::system_clock::time_point> gLastInternalChange;
std::optional<std::chrono::system_clock::time_point> gLastExternalChange;

AddressState CurrentAddressState() {
    return AddressState{gAddresses, gExternalIPAddress, gWirelessNetwork, gLastInternalChange,
                        gLastExternalChange};
}

}  // namespace controller
