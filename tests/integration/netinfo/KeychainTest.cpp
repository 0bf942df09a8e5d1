// Mail server passwords against Secret Services in a private D-Bus session
// with a throw-away home (gnome-keyring, and one that never answers), and
// without any service.
#include <libsecret/secret.h>

#include <chrono>

#include <gtest/gtest.h>

#include "integration/shared/PrivateSession.h"
#include "netinfo/Keychain.h"
#include "support/ChildProcess.h"
#include "support/ScopedEnv.h"

using namespace netinfo;
using base::CString256;

namespace {

using namespace std::chrono_literals;

int CountItems(const char* account) {
    const SecretSchema* schema = secret_schema_new("any", SECRET_SCHEMA_DONT_MATCH_NAME, "service",
                                                   SECRET_SCHEMA_ATTRIBUTE_STRING, "account",
                                                   SECRET_SCHEMA_ATTRIBUTE_STRING, nullptr);
    GList* items =
        secret_password_search_sync(schema, SECRET_SEARCH_ALL, nullptr, nullptr, "service",
                                    "OrbalenStatus", "account", account, nullptr);
    const int count = static_cast<int>(g_list_length(items));
    g_list_free_full(items, g_object_unref);
    return count;
}

TEST(Keychain, StoresReplacesFallsBackAndFollowsLockAndRestart) {
    if (!integration::InPrivateSession("Keychain.StoresReplaces*")) {
        return;
    }
    ASSERT_TRUE(integration::StartKeyring()) << "gnome-keyring-daemon did not start";

    ASSERT_EQ(AddKeychainPassword("smtp.example.org", "ann", "first"), 0);
    ASSERT_EQ(AddKeychainPassword("smtp.example.org", "ann", "second"), 0);
    EXPECT_EQ(CountItems("smtp.example.org:ann"), 1);
    CString256 password("untouched");
    EXPECT_EQ(RetrieveKeychainPassword("smtp.example.org", "ann", password), 0);
    EXPECT_STREQ(password.c_str(), "second");

    // Gone from the store, the password found earlier in this run answers.
    ASSERT_EQ(netinfo::DeleteKeychainPassword("smtp.example.org", "ann"), 0);
    EXPECT_EQ(CountItems("smtp.example.org:ann"), 0);
    CString256 again;
    EXPECT_EQ(RetrieveKeychainPassword("smtp.example.org", "ann", again), 0);
    EXPECT_STREQ(again.c_str(), "second");

    CString256 unknown("untouched");
    EXPECT_EQ(RetrieveKeychainPassword("smtp.example.org", "bob", unknown), kKeychainItemNotFound);
    EXPECT_STREQ(unknown.c_str(), "untouched");

    // A locked keyring is said so, not unlocked to look; one that cannot be
    // unlocked here (no one answers its prompt) refuses a new password; a
    // daemon restarted meanwhile answers this same process at once.
    ASSERT_EQ(AddKeychainPassword("smtp.example.org", "ann", "kept"), 0);
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, {}, {});
    GList* collections = secret_service_get_collections(service);
    secret_service_lock_sync(service, collections, nullptr, nullptr, nullptr);
    g_list_free_full(collections, g_object_unref);
    g_object_unref(service);

    std::string looked = "untouched";
    EXPECT_EQ(LookupKeychainPassword("smtp.example.org", "ann", looked), kKeychainLocked);
    EXPECT_EQ(LookupKeychainPassword("smtp.example.org", "bob", looked), kKeychainItemNotFound);
    EXPECT_EQ(AddKeychainPassword("smtp.example.org", "ann", "new"), kKeychainLocked);
    EXPECT_EQ(looked, "untouched");

    testing_support::ChildProcess restart(
        {"gnome-keyring-daemon", "--replace", "--daemonize", "--unlock", "--components=secrets"},
        {}, "test-password");
    ASSERT_EQ(restart.wait(20s), 0);
    EXPECT_EQ(LookupKeychainPassword("smtp.example.org", "ann", looked), 0);
    EXPECT_EQ(looked, "kept");
}

TEST(Keychain, HungServiceCountsAsNone) {
    if (!integration::InPrivateSession("Keychain.HungService*")) {
        return;
    }
    testing_support::ChildProcess service({SILENT_SECRET_SERVICE});
    ASSERT_EQ(service.readLine(10s), "ready");
    gMailserverPasswords["smtp.example.org:ann"] = "remembered";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(AddKeychainPassword("smtp.example.org", "ann", "new"), kKeychainNotAvailable);
    CString256 password;
    EXPECT_EQ(RetrieveKeychainPassword("smtp.example.org", "ann", password), 0);
    EXPECT_STREQ(password.c_str(), "remembered");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2 * kKeychainCallLimit + 1s);
}

TEST(Keychain, WithoutServiceOnlyPasswordsFoundEarlierAnswer) {
    testing_support::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    EXPECT_NE(AddKeychainPassword("smtp.example.org", "ann", "pw"), 0);
    CString256 password("untouched");
    EXPECT_NE(RetrieveKeychainPassword("smtp.example.org", "ann", password), 0);
    EXPECT_STREQ(password.c_str(), "untouched");

    gMailserverPasswords["smtp.example.org:ann"] = "remembered";
    EXPECT_EQ(RetrieveKeychainPassword("smtp.example.org", "ann", password), 0);
    EXPECT_STREQ(password.c_str(), "remembered");
}

}  // namespace
