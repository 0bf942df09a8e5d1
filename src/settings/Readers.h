#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The reading rules of the settings: each reader synchronizes the domain,
// copies its key, tests the type and applies its own default. Readers of the
// same key may differ on purpose, so callers pick the reader, not the key.
namespace settings {

// On only for a stored boolean true; a number (even 1) or a string is off.
bool ReadFlag(std::string_view key);

// Minutes between external address checks: a stored number, else 6; raised
// to at least 6 and bounded by kMaxMinutesInterval.
inline constexpr std::int16_t kDefaultMinutesInterval = 6;
// The largest interval whose seconds still fit the signed 16-bit count the
// monitor keeps (546 min = 32760 s, about 9 hours).
inline constexpr std::int16_t kMaxMinutesInterval = 546;
std::int16_t ReadMinutesInterval();
// ReadMinutesInterval() in seconds, always positive.
std::int16_t ReadMinutesIntervalInSeconds();

// The stored string, else "0.0.0.0".
std::string ReadLastExternalIPAddress();

// User defaults: a present value read as the user defaults read it, else the
// default given.
std::int64_t ReadInitialRefresh();      // seconds, default 20
bool ReadUseSSL();                      // default YES
bool ReadLogToSystemConsole();          // default YES
bool ReadLogToPrivateConsoleLog();      // default YES
bool ReadAllowUntrustedCertificates();  // default NO
bool ReadNotifyDesktopOnChange();       // default NO
// The lookup services' URLs, separated by blanks: a non-empty stored string,
// else the default.
inline constexpr std::string_view kDefaultExternalIPLookupURL = "http://checkip.dyndns.org/";
std::string ReadExternalIPLookupURL();

}  // namespace settings
