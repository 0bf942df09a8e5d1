// Mail server passwords in gnome-keyring, running or hung, in a private session.
#include <libsecret/secret.h>
#include <signal.h>

#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "integration/shared/PrivateSession.h"
#include "netinfo/Keychain.h"
#include "support/ChildProcess.h"

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

TEST(Keychain, StoresReplacesFallsBackAndFollowsARestart) {
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

    // A daemon restarted meanwhile answers this same process at once.
    ASSERT_EQ(AddKeychainPassword("smtp.example.org", "ann", "kept"), 0);
    testing_support::ChildProcess restart(
        {"gnome-keyring-daemon", "--replace", "--daemonize", "--unlock", "--components=secrets"},
        {}, "test-password");
    ASSERT_EQ(restart.wait(20s), 0);
    std::string looked;
    EXPECT_EQ(LookupKeychainPassword("smtp.example.org", "ann", looked), 0);
    EXPECT_EQ(looked, "kept");
}

// A Secret Service that has hung (a stopped gnome-keyring: it owns the name
// but never answers) counts as none within the call limit.
TEST(Keychain, HungServiceCountsAsNone) {
    if (!integration::InPrivateSession("Keychain.HungService*")) {
        return;
    }
    ASSERT_TRUE(integration::StartKeyring()) << "gnome-keyring-daemon did not start";
    EXPECT_EQ(CountItems("none"), 0);  // answered: the name is the daemon's
    testing_support::ChildProcess owner({"dbus-send", "--session", "--print-reply=literal",
                                         "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                         "string:org.freedesktop.secrets"});
    const std::string reply = owner.readAll(10s);
    ASSERT_NE(reply.find("uint32 "), std::string::npos) << owner.readErrors();
    const pid_t keyring = std::stoi(reply.substr(reply.find("uint32 ") + 7));
    ASSERT_EQ(kill(keyring, SIGSTOP), 0);
    // Killed, not resumed, however the test ends: a stopped daemon never exits.
    const std::shared_ptr<void> end(nullptr, [keyring](void*) { kill(keyring, SIGKILL); });
    gMailserverPasswords["smtp.example.org:ann"] = "remembered";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(AddKeychainPassword("smtp.example.org", "ann", "new"), kKeychainNotAvailable);
    CString256 password;
    EXPECT_EQ(RetrieveKeychainPassword("smtp.example.org", "ann", password), 0);
    EXPECT_STREQ(password.c_str(), "remembered");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2 * kKeychainCallLimit + 1s);
}

}  // namespace
