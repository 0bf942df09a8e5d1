#include "netinfo/Keychain.h"

#include <libsecret/secret.h>

#include <functional>

namespace netinfo {

using base::CString256;

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

using StartCall = std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>;

struct PendingCall {
    GAsyncResult* result = nullptr;
};

void CallFinished(GObject*, GAsyncResult* result, gpointer data) {
    static_cast<PendingCall*>(data)->result = G_ASYNC_RESULT(g_object_ref(result));
}

gboolean CancelCall(gpointer cancellable) {
    g_cancellable_cancel(G_CANCELLABLE(cancellable));
    return G_SOURCE_REMOVE;
}

// Runs one asynchronous libsecret call to its end on a private main
// context (as libsecret's own blocking calls do), cancelling it once limit
// has passed. A cancelled call ends at once with an error, so the wait is
// bounded. Returns the call's result, to be unreferenced by the caller.
//
// The connection to the service is dropped afterwards: libsecret keeps its
// session with the daemon that answered, and a restarted daemon would
// refuse that session until the program restarted.
GAsyncResult* RunBounded(const StartCall& start,
                         std::chrono::milliseconds limit = kKeychainCallLimit) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GCancellable* cancellable = g_cancellable_new();
    GSource* deadline = g_timeout_source_new(static_cast<guint>(limit.count()));
    g_source_set_callback(deadline, CancelCall, cancellable, nullptr);
    g_source_attach(deadline, context);

    PendingCall call;
    start(cancellable, CallFinished, &call);
    while (!call.result) {
        g_main_context_iteration(context, TRUE);
    }

    g_source_destroy(deadline);
    g_source_unref(deadline);
    g_object_unref(cancellable);
    secret_service_disconnect();
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return call.result;
}

// The items of account, without unlocking anything; with their secrets
// when loadSecrets (only unlocked items have them). Null and error set when
// the service did not answer.
GList* SearchItems(const std::string& account, bool loadSecrets, GError** error) {
    const auto flags = static_cast<SecretSearchFlags>(
        SECRET_SEARCH_ALL | (loadSecrets ? SECRET_SEARCH_LOAD_SECRETS : SECRET_SEARCH_NONE));
    GAsyncResult* result =
        RunBounded([&](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
            secret_password_search(PasswordSchema(), flags, cancel, done, data, "service", kService,
                                   "account", account.c_str(), nullptr);
        });
    GList* items = secret_password_search_finish(result, error);
    g_object_unref(result);
    return items;
}

std::int32_t StatusOf(GError* error) {
    if (!error) {
        return 0;
    }
    const bool locked = g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED);
    g_error_free(error);
    return locked ? kKeychainLocked : kKeychainNotAvailable;
}

}  // namespace

std::int32_t AddKeychainPassword(const CString256& server, const CString256& user,
                                 const CString256& password) {
    if (IsEmpty(server) || IsEmpty(user) || IsEmpty(password)) {
        return 0;
    }
    const std::string account = Account(server, user);
    const std::string label = std::string(kService) + ": " + account;
    // A service that answers a search within the usual limit is alive; only
    // then may the store wait for the user to answer its unlock prompt.
    GError* error = nullptr;
    g_list_free_full(SearchItems(account, false, &error), g_object_unref);
    if (error) {
        return StatusOf(error);
    }
    // Storing with the same attributes replaces the earlier item.
    GAsyncResult* result = RunBounded(
        [&](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
            secret_password_store(PasswordSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                  password.c_str(), cancel, done, data, "service", kService,
                                  "account", account.c_str(), nullptr);
        },
        kKeychainPromptLimit);
    secret_password_store_finish(result, &error);
    g_object_unref(result);
    return StatusOf(error);
}

std::int32_t RetrieveKeychainPassword(const CString256& server, const CString256& user,
                                      CString256& password) {
    if (IsEmpty(server) || IsEmpty(user)) {
        return 0;
    }
    const std::string account = Account(server, user);
    std::string found;
    const std::int32_t status = LookupKeychainPassword(server, user, found);
    if (status == 0) {
        password = found.c_str();
        gMailserverPasswords[account] = found;
        return 0;
    }
    if (auto cached = gMailserverPasswords.find(account); cached != gMailserverPasswords.end()) {
        password = cached->second.c_str();
        return 0;
    }
    return status;
}

std::int32_t LookupKeychainPassword(const CString256& server, const CString256& user,
                                    std::string& password) {
    GError* error = nullptr;
    GList* items = SearchItems(Account(server, user), true, &error);
    if (error) {
        return StatusOf(error);
    }
    std::int32_t status = kKeychainItemNotFound;
    if (items && SECRET_IS_ITEM(items->data)) {
        SecretValue* secret = secret_item_get_secret(SECRET_ITEM(items->data));
        const gchar* text = secret ? secret_value_get_text(secret) : nullptr;
        status = text ? 0 : kKeychainLocked;
        if (text) {
            password = text;
        }
        if (secret) {
            secret_value_unref(secret);
        }
    }
    g_list_free_full(items, g_object_unref);
    return status;
}

std::int32_t DeleteKeychainPassword(const CString256& server, const CString256& user) {
    const std::string account = Account(server, user);
    GAsyncResult* result =
        RunBounded([&](GCancellable* cancel, GAsyncReadyCallback done, gpointer data) {
            secret_password_clear(PasswordSchema(), cancel, done, data, "service", kService,
                                  "account", account.c_str(), nullptr);
        });
    GError* error = nullptr;
    const bool removed = secret_password_clear_finish(result, &error);
    g_object_unref(result);
    const std::int32_t status = StatusOf(error);
    return status != 0 ? status : (removed ? 0 : kKeychainItemNotFound);
}

}  // namespace netinfo
