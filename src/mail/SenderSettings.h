#pragma once

#include <optional>
#include <string>

// The SMTP password: kept in the user's secret store (service
// "OrbalenStatus", account "server:user") when a Secret Service is on the
// session bus, otherwise in the settings file as "UserPassword". A password
// only the file holds keeps working.
namespace mail {

// What the sender authenticates with: the secret store's password of the
// stored server and user, else the file's "UserPassword". Thread that runs
// the senders only (the store's answers are remembered for this run).
std::optional<std::string> ReadSmtpPassword();

// The secret store's password of server and user, any thread; nothing when
// the store has none or cannot be reached.
std::optional<std::string> FindStoredPassword(const std::string& server, const std::string& user);

// Keeps password in the secret store; false when there is no store to keep
// it in (the caller then writes the file).
bool KeepPasswordInStore(const std::string& server, const std::string& user,
                         const std::string& password);

}  // namespace mail
