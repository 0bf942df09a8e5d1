// Mail server passwords against a real Secret Service (gnome-keyring in a
// private D-Bus session with a throw-away home), and without any service.
#include <libsecret/secret.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "netinfo/Keychain.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kInsideSession = "ORBALEN_KEYRING_SESSION";

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

// Inside the private session: start the keyring, then the real checks.
void CheckAgainstKeyring() {
    testing_support::ChildProcess keyring(
        {"gnome-keyring-daemon", "--daemonize", "--unlock", "--components=secrets"}, {},
        "test-password");
    ASSERT_EQ(keyring.wait(20s), 0) << "gnome-keyring-daemon did not start";

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
}

TEST(KeychainWithSecretService, StoresReplacesAndFallsBackToWhatItFound) {
    if (getenv(kInsideSession)) {
        CheckAgainstKeyring();
        return;
    }
    char pattern[] = "/tmp/orbalen-keyring-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path home = pattern;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    testing_support::ChildProcess session(
        {"dbus-run-session", "--", self, "--gtest_filter=KeychainWithSecretService.*"},
        {std::string(kInsideSession) + "=1", "HOME=" + home.string(),
         "XDG_DATA_HOME=" + (home / "data").string(), "XDG_RUNTIME_DIR=" + home.string(),
         "XDG_CONFIG_HOME=" + (home / "config").string()});
    std::string output;
    while (auto line = session.readLine(60s)) {
        output += *line + "\n";
    }
    EXPECT_EQ(session.wait(10s), 0) << output;
    fs::remove_all(home);
}

TEST(KeychainWithoutService, OnlyPasswordsFoundEarlierAnswer) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/orbalen-test-bus", 1);
    EXPECT_NE(AddKeychainPassword("smtp.example.org", "ann", "pw"), 0);

    CString256 password("untouched");
    EXPECT_NE(RetrieveKeychainPassword("smtp.example.org", "ann", password), 0);
    EXPECT_STREQ(password.c_str(), "untouched");

    gMailserverPasswords["smtp.example.org:ann"] = "remembered";
    EXPECT_EQ(RetrieveKeychainPassword("smtp.example.org", "ann", password), 0);
    EXPECT_STREQ(password.c_str(), "remembered");
}

}  // namespace
