#include "mail/SenderSettings.h"

#include "netinfo/Keychain.h"
#include "settings/MailReaders.h"

namespace mail {

std::optional<std::string> ReadSmtpPassword() {
    const auto inFile = settings::ReadUserPassword();
    if (inFile && !inFile->empty()) {
        return inFile;
    }
    const auto server = settings::ReadMailServer();
    const auto user = settings::ReadUsername();
    if (!server || server->empty() || !user || user->empty()) {
        return inFile;
    }
    const std::string account = *server + ":" + *user;
    const StoredPassword stored = FindStoredPassword(*server, *user);
    if (stored.status == 0) {
        netinfo::gMailserverPasswords[account] = stored.password;
        return stored.password;
    }
    // A removed item means no password; only a store that cannot answer
    // lets the one found earlier stand in.
    const auto cached = netinfo::gMailserverPasswords.find(account);
    if (stored.status == netinfo::kKeychainItemNotFound) {
        if (cached != netinfo::gMailserverPasswords.end()) {
            netinfo::gMailserverPasswords.erase(cached);
        }
        return inFile;
    }
    if (cached != netinfo::gMailserverPasswords.end()) {
        return cached->second;
    }
    return inFile;
}

StoredPassword FindStoredPassword(const std::string& server, const std::string& user) {
    StoredPassword found;
    if (server.empty() || user.empty()) {
        found.status = netinfo::kKeychainItemNotFound;
        return found;
    }
    found.status = netinfo::LookupKeychainPassword(server.c_str(), user.c_str(), found.password);
    return found;
}

std::int32_t KeepPasswordInStore(const std::string& server, const std::string& user,
                                 const std::string& password) {
    if (server.empty() || user.empty() || password.empty()) {
        return netinfo::kKeychainNotAvailable;
    }
    return netinfo::AddKeychainPassword(server.c_str(), user.c_str(), password.c_str());
}

std::int32_t ForgetStoredPassword(const std::string& server, const std::string& user) {
    if (server.empty() || user.empty()) {
        return 0;
    }
    const std::int32_t status = netinfo::DeleteKeychainPassword(server.c_str(), user.c_str());
    return status == netinfo::kKeychainItemNotFound ? 0 : status;
}

}  // namespace mail
