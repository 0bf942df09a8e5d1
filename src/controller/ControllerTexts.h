#pragma once

#include <cstddef>
#include <string_view>

// Fixed texts the controller shows, logs and hands on.
namespace controller::texts {

// Shown, stored and logged where no address exists.
inline constexpr std::string_view kNoAddress = "-.-.-.-";
// What a missing object prints as inside a log line.
inline constexpr std::string_view kMissingObject = "(null)";
inline constexpr std::string_view kNoName = "no name";

inline constexpr std::string_view kSmallImage = "OrbalenStatusSmall.tif";
inline constexpr std::string_view kChangeImage = "OrbalenStatusChange.tif";

inline constexpr std::string_view kInternalChangeMessage =
    "OrbalenStatus has refreshed. The IP address of machine \"%@\" has changed from: %@ to %@";
inline constexpr std::string_view kExternalChangeMessage =
    "OrbalenStatus has refreshed. The External IP address of machine \"%@\" has changed from: "
    "%@ to %@";

// The desktop notification on an address change.
inline constexpr std::string_view kChangeNotificationSummary = "IP address changed";

// The first three menu items, found by position.
inline constexpr std::size_t kDNSNamePosition = 0;
inline constexpr std::size_t kExternalAddressPosition = 1;
inline constexpr std::size_t kExternalDNSNamePosition = 2;
inline constexpr std::string_view kDNSNameUnavailable = "DNS name unavailable";
inline constexpr std::string_view kExternalIPUnavailable = "External IP unavailable";
inline constexpr std::string_view kExternalDNSNameUnavailable = "External DNS name unavailable";
inline constexpr std::string_view kIncludeExternalIPOff = "Include external IP is off";

}  // namespace controller::texts
