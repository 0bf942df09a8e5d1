#include "settings/Preferences.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "SettingsTestFolders.h"

namespace fs = std::filesystem;

namespace {

class PreferencesTest : public SettingsTestFolders {};

TEST_F(PreferencesTest, ValuesKeepTheirTypesInAPrivateFile) {
    EXPECT_FALSE(CopyAppValue("MailServer"));
    EXPECT_TRUE(AppSynchronize());
    EXPECT_FALSE(fs::exists(userFile())) << "nothing pending, nothing written";

    SetAppValue("TitleIconOnly", true);
    SetAppValue("MinutesInterval", std::int64_t{30});
    SetAppValue("Ratio", 2.5);
    SetAppValue("UserPassword", std::string("s3cret \xc3\xa9"));
    EXPECT_EQ(CopyAppValue("TitleIconOnly"), Value(true)) << "visible before synchronizing";
    ASSERT_TRUE(AppSynchronize());

    EXPECT_EQ(fs::status(userFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(userFolder()).permissions(), fs::perms::owner_all);

    const auto file = nlohmann::json::parse(ReadText(userFile()));
    EXPECT_EQ(file["TitleIconOnly"], true);
    EXPECT_TRUE(file["MinutesInterval"].is_number_integer());
    EXPECT_TRUE(file["Ratio"].is_number_float());
    EXPECT_EQ(file["UserPassword"], "s3cret \xc3\xa9");

    // A write replaces the file, never rewrites it in place: a reader that
    // opened it before still reads it whole, as a crash would leave it.
    std::ifstream before(userFile());
    SetAppValue("MinutesInterval", std::int64_t{31});
    ASSERT_TRUE(AppSynchronize());
    EXPECT_EQ(nlohmann::json::parse(before)["MinutesInterval"], 30);

    // A writer killed mid-write left its temporary copy, password and all:
    // the next writer removes it, and only it.
    const std::string name = userFile().filename().string();
    for (const std::string& leftover : {name + ".Ab12Cd", name + ".unreadable-20260101-120000",
                                        name + ".Ab12Cde", std::string("other.json.Ab12Cd")}) {
        testing_support::WriteText(userFolder() / leftover, "{\"UserPassword\": \"s3cret\"}");
    }
    SetAppValue("Ratio", std::nullopt);
    ASSERT_TRUE(AppSynchronize());
    EXPECT_FALSE(CopyAppValue("Ratio"));
    EXPECT_FALSE(nlohmann::json::parse(ReadText(userFile())).contains("Ratio"));
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(userFolder())) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left,
              (std::set<std::string>{name, name + ".lock", name + ".unreadable-20260101-120000",
                                     name + ".Ab12Cde", "other.json.Ab12Cd"}));
}

TEST_F(PreferencesTest, SynchronizeMergesWithOtherWritersAndKeepsUnknownEntries) {
    SetAppValue("A", std::int64_t{1});
    ASSERT_TRUE(AppSynchronize());

    // Another process rewrites the file: a new key, a changed one, and an
    // entry of a kind this store does not read.
    ReplaceFile(userFile(), R"({"A": 2, "B": "other", "List": [1, 2]})");
    EXPECT_EQ(CopyAppValue("A"), Value(std::int64_t{1})) << "not seen before synchronizing";
    ASSERT_TRUE(AppSynchronize());
    EXPECT_EQ(CopyAppValue("A"), Value(std::int64_t{2}));
    EXPECT_EQ(CopyAppValue("B"), Value(std::string("other")));
    EXPECT_FALSE(CopyAppValue("List"));

    // Our pending change and theirs both survive; so does the unknown entry.
    SetAppValue("C", false);
    ReplaceFile(userFile(), R"({"A": 2, "B": "changed", "List": [1, 2]})");
    ASSERT_TRUE(AppSynchronize());
    const auto file = nlohmann::json::parse(ReadText(userFile()));
    EXPECT_EQ(file["B"], "changed");
    EXPECT_EQ(file["C"], false);
    EXPECT_EQ(file["List"], nlohmann::json::array({1, 2}));
}

TEST_F(PreferencesTest, UnsafeDomainNamesNameNoFile) {
    for (const char* domain : {"", "../escape", "a/b", ".hidden"}) {
        SetAppValue("Key", true, domain);
        EXPECT_FALSE(AppSynchronize(domain)) << domain;
        EXPECT_FALSE(CopyAppValue("Key", domain)) << domain;
    }
    EXPECT_FALSE(fs::exists(root_ / "config" / "escape.json"));
}

}  // namespace
