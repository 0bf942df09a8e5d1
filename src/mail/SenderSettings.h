#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The SMTP password: kept in the user's secret store (service
// "OrbalenStatus", account "server:user") when a Secret Service is on the
// session bus, or, when the user chose it, in the settings file as
// "UserPassword". A password in the file wins: it is either the user's
// explicit choice or one written before the store was used.
namespace mail {

// What the sender authenticates with, read afresh for each conversation so
// an unlocked or restarted keyring is used at once: the file's
// "UserPassword" when not empty, else the store's password of the stored
// server and user. Only when the store cannot answer (locked, absent, hung)
// does a password it gave earlier in this run stand in. The thread that runs
// the senders only.
std::optional<std::string> ReadSmtpPassword();

// The secret store's answer for server and user, any thread, never
// prompting: the password, or the keychain status (netinfo::kKeychain*).
struct StoredPassword {
    std::int32_t status = 0;
    std::string password;
};
StoredPassword FindStoredPassword(const std::string& server, const std::string& user);

// Keeps password in the secret store, asking the service to unlock the
// keyring when needed; the keychain status (0: kept).
std::int32_t KeepPasswordInStore(const std::string& server, const std::string& user,
                                 const std::string& password);

// Removes the stored password of server and user; 0 also when there was none.
std::int32_t ForgetStoredPassword(const std::string& server, const std::string& user);

}  // namespace mail
