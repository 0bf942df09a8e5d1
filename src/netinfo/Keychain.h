#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "base/CString256.h"

namespace netinfo {

// Mail server passwords in the user's secret store (the Secret Service,
// through libsecret): one item per account "server:user" of the service
// "OrbalenStatus".
//
// The calls block their thread, so each one gives up after
// kKeychainCallLimit: a Secret Service that has hung then counts as no
// service at all, instead of freezing the program for D-Bus's 25 s. Only
// storing, once the service has answered, may wait longer: the service
// then asks the user to unlock the keyring. Nothing else ever prompts.

// Keychain statuses (0 is success).
inline constexpr std::int32_t kKeychainItemNotFound = -25300;
inline constexpr std::int32_t kKeychainNotAvailable = -25291;
// The keyring is locked and was not unlocked (or needed a new keyring the
// user did not create).
inline constexpr std::int32_t kKeychainLocked = -25308;

inline constexpr std::chrono::milliseconds kKeychainCallLimit{3000};
inline constexpr std::chrono::milliseconds kKeychainPromptLimit{120000};

// Every password found in the store during this run, by account; it answers
// when the store does not. The controller's thread only.
extern std::map<std::string, std::string> gMailserverPasswords;

// Stores password for server and user, replacing any earlier one; a locked
// keyring is unlocked by the service's own prompt first. Any empty text:
// nothing is done and 0 is answered.
std::int32_t AddKeychainPassword(const base::CString256& server, const base::CString256& user,
                                 const base::CString256& password);

// Fetches the password of server and user into password and answers 0; when
// the store has none (or cannot be reached) a password found earlier in this
// run answers instead. Otherwise the store's status, password unchanged. An
// empty server or user: 0, password unchanged.
std::int32_t RetrieveKeychainPassword(const base::CString256& server, const base::CString256& user,
                                      base::CString256& password);

// The store's password of server and user, without the cache of this run
// and without unlocking: callable from any thread. 0 and password set, or
// the store's status (kKeychainLocked: there is one, behind a locked
// keyring).
std::int32_t LookupKeychainPassword(const base::CString256& server, const base::CString256& user,
                                    std::string& password);
// Removes the stored password of server and user; the cache keeps its copy.
std::int32_t DeleteKeychainPassword(const base::CString256& server, const base::CString256& user);

}  // namespace netinfo
