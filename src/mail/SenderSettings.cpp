#include "mail/SenderSettings.h"

#include "netinfo/Keychain.h"
#include "settings/MailReaders.h"

namespace mail {

std::optional<std::string> ReadSmtpPassword() {
    const auto server = settings::ReadMailServer();
    const auto user = settings::ReadUsername();
    if (server && user && !user->empty()) {
        foundation::CString256 password;
        if (netinfo::RetrieveKeychainPassword(server->c_str(), user->c_str(), password) == 0 &&
            password.c_str()[0] != '\0') {
            return std::string(password.c_str());
        }
    }
    return settings::ReadUserPassword();
}

std::optional<std::string> FindStoredPassword(const std::string& server, const std::string& user) {
    if (server.empty() || user.empty()) {
        return std::nullopt;
    }
    std::string password;
    if (netinfo::LookupKeychainPassword(server.c_str(), user.c_str(), password) != 0) {
        return std::nullopt;
    }
    return password;
}

bool KeepPasswordInStore(const std::string& server, const std::string& user,
                         const std::string& password) {
    return !server.empty() && !user.empty() && !password.empty() &&
           netinfo::AddKeychainPassword(server.c_str(), user.c_str(), password.c_str()) == 0;
}

}  // namespace mail
