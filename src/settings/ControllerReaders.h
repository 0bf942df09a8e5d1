#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The settings the status item controller reads and writes beyond the
// shared readers (see Readers.h).
namespace settings {

// The stored "LastIPAddress" when it is a string. Read as the store holds
// it, without synchronizing first.
std::optional<std::string> ReadLastIPAddress();
// Stores the address under "LastIPAddress" and synchronizes.
void WriteLastIPAddress(const std::string& address);
// Stores the address under "LastExternalIPAddress" and synchronizes.
void WriteLastExternalIPAddress(const std::string& address);

// The recipient list "Email" when it is a string, without synchronizing: it
// follows directly on the synchronized read of "SendEmailNotifications".
std::optional<std::string> ReadEmail();

// Seconds until the one-shot refresh: the user default "Initial Refresh",
// with 20 stored there first when it is missing.
inline constexpr std::int64_t kDefaultInitialRefresh = 20;
std::int64_t ReadInitialRefreshStoringDefault();

}  // namespace settings
