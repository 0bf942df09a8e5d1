#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

// The body when the caller has no old address to report.
inline constexpr std::string_view kRefreshedFormat =
    "OrbalenStatus has refreshed. Machine \"%@\" has IP address: %@";

// Fills each "%@" of format with the next value, in order ("%%" stands for
// "%"). Values are inserted as they are, never read as formats themselves.
std::string FillPlaceholders(std::string_view format, const std::vector<std::string>& values);

// The notification's text: the caller's format filled with machine name, old
// and new address, or the fixed refreshed text when there is no old address.
std::string NotificationBody(std::string_view format, const std::string& machineName,
                             const std::optional<std::string>& oldAddress,
                             const std::string& newAddress);

}  // namespace mail
