#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace netinfo {

// The report the wireless name is read from: one line
// "Current Wireless Network: NAME" for each station interface that is
// connected, as the kernel's nl80211 interface tells. Nothing when the
// kernel has no wireless support.
std::optional<std::string> CopyWirelessReport();

// An SSID (any 0-32 bytes) as one line of text: valid UTF-8 stays as it
// is; control characters, bytes that are not UTF-8 and the backslash are
// written \xNN, so a name can never start a line or forge a marker.
std::string EscapeNetworkName(std::string_view ssid);

// The network name in a report: the text after "Current Wireless Network: "
// up to the line end; failing that, the line after
// "Current Network Information:" up to its ":" and line end, trimmed.
std::optional<std::string> ExtractWirelessNetworkName(std::string_view report);

}  // namespace netinfo
