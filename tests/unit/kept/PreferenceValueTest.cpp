#include "kept/PreferenceValue.h"

#include <memory>

#include "unit/settings/SettingsTestFolders.h"

using kept::ReadPreferenceValue;
using kept::WritePreferenceValue;

namespace {

class PreferenceValueTest : public SettingsTestFolders {
protected:
    static std::basic_string<unsigned char> Pascal(const std::string& text) {
        std::basic_string<unsigned char> key(1, static_cast<unsigned char>(text.size()));
        return key.append(text.begin(), text.end());
    }
    static std::string Read(const std::string& key, bool allUsers) {
        std::unique_ptr<char[]> value(ReadPreferenceValue(Pascal(key).c_str(), allUsers));
        return value ? value.get() : "<none>";
    }
    static void Write(std::string value, const std::string& key, bool allUsers) {
        EXPECT_EQ(WritePreferenceValue(value.data(), Pascal(key).c_str(), allUsers), 0);
    }
};

TEST_F(PreferenceValueTest, AllUsersStoreComesFirstThenTheUsersOwn) {
    EXPECT_EQ(Read("Server", true), "<none>");
    Write("mine", "Server", false);
    EXPECT_EQ(Read("Server", true), "mine") << "falls back when all users have none";
    Write("shared", "Server", true);
    EXPECT_TRUE(std::filesystem::exists(systemFile()));
    EXPECT_EQ(Read("Server", true), "shared");
    EXPECT_EQ(Read("Server", false), "mine");

    // A system folder below a plain file cannot be made, even by root.
    ReplaceFile(root_ / "plain", "x");
    testing_support::ScopedEnv blocked("XDG_CONFIG_DIRS", (root_ / "plain").c_str());
    Write("fallback", "Server", true);
    EXPECT_EQ(Read("Server", false), "fallback");
    EXPECT_EQ(Read("Server", true), "fallback");
}

TEST_F(PreferenceValueTest, TextRoundTripsAndIsCutOnACharacterBoundary) {
    Write("caf\xc3\xa9 \xe2\x82\xac", "Name", false);
    EXPECT_EQ(Read("Name", false), "caf\xc3\xa9 \xe2\x82\xac");
    // 254 ASCII bytes then a two-byte character: the character is dropped whole.
    Write(std::string(254, 'a') + "\xc3\xa9", "Long", false);
    EXPECT_EQ(Read("Long", false), std::string(254, 'a'));

    settings::SetAppValue("Number", std::int64_t{25});
    EXPECT_EQ(Read("Number", false), "<none>") << "only strings are string settings";
    EXPECT_EQ(ReadPreferenceValue(nullptr, 0), nullptr);
    EXPECT_EQ(WritePreferenceValue(nullptr, Pascal("Name").c_str(), 0), 0);
    EXPECT_EQ(Read("Name", false), "caf\xc3\xa9 \xe2\x82\xac");
}

}  // namespace
