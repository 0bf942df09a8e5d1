#pragma once

#include <optional>
#include <string>

namespace netinfo {

// The name of the wireless network the machine is joined to, or nothing.
// The kernel's report is written to the private report file and read back
// from it, so the file always shows what the last look-up saw.
std::optional<std::string> GetCurrentWirelessNetwork();

}  // namespace netinfo
