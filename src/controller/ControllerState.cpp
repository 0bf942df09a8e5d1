#include "controller/ControllerState.h"

std::vector<std::string> gAddresses;
std::optional<std::string> gExternalIPAddress;
std::optional<std::string> gWirelessNetwork;

namespace controller {

AddressState CurrentAddressState() {
    return AddressState{gAddresses, gExternalIPAddress, gWirelessNetwork};
}

}  // namespace controller
