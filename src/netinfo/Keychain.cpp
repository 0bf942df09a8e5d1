#include "netinfo/Keychain.h"

#include <libsecret/secret.h>

std::map<std::string, std::string> gMailserverPasswords;

namespace {

constexpr const char* kService = "OrbalenStatus";

// Items are found by their two attributes alone, whatever schema made them.
const SecretSchema* PasswordSchema() {
    static const SecretSchema* schema = secret_schema_new(
        "com.kestrune.OrbalenStatus.MailServerPassword", SECRET_SCHEMA_DONT_MATCH_NAME, "service",
        SECRET_SCHEMA_ATTRIBUTE_STRING, "account", SECRET_SCHEMA_ATTRIBUTE_STRING, nullptr);
    return schema;
}

std::string Account(const CString256& server, const CString256& user) {
    // Built in a CString256, as the account text has always been: at most
    // 255 bytes.
    CString256 account(server);
    account += ":";
    account += user;
    return account.c_str();
}

bool IsEmpty(const CString256& text) {
    return text.c_str()[0] == '\0';
}

std::int32_t StatusOf(GError* error) {
    if (!error) {
        return 0;
    }
    g_error_free(error);
    return kKeychainNotAvailable;
}

}  // namespace

std::int32_t AddKeychainPassword(const CString256& server, const CString256& user,
                                 const CString256& password) {
    if (IsEmpty(server) || IsEmpty(user) || IsEmpty(password)) {
        return 0;
    }
    const std::string account = Account(server, user);
    const std::string label = std::string(kService) + ": " + account;
    GError* error = nullptr;
    // Storing with the same attributes replaces the earlier item.
    secret_password_store_sync(PasswordSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                               password.c_str(), nullptr, &error, "service", kService, "account",
                               account.c_str(), nullptr);
    return StatusOf(error);
}

std::int32_t RetrieveKeychainPassword(const CString256& server, const CString256& user,
                                      CString256& password) {
    if (IsEmpty(server) || IsEmpty(user)) {
        return 0;
    }
    const std::string account = Account(server, user);
    GError* error = nullptr;
    gchar* found = secret_password_lookup_sync(PasswordSchema(), nullptr, &error, "service",
                                               kService, "account", account.c_str(), nullptr);
    if (found) {
        password = found;
        gMailserverPasswords[account] = found;
        secret_password_free(found);
        return 0;
    }
    const std::int32_t status = error ? StatusOf(error) : kKeychainItemNotFound;
    if (auto cached = gMailserverPasswords.find(account); cached != gMailserverPasswords.end()) {
        password = cached->second.c_str();
        return 0;
    }
    return status;
}

namespace netinfo {

std::int32_t DeleteKeychainPassword(const CString256& server, const CString256& user) {
    const std::string account = Account(server, user);
    GError* error = nullptr;
    const bool removed = secret_password_clear_sync(PasswordSchema(), nullptr, &error, "service",
                                                    kService, "account", account.c_str(), nullptr);
    const std::int32_t status = StatusOf(error);
    return status != 0 ? status : (removed ? 0 : kKeychainItemNotFound);
}

}  // namespace netinfo
