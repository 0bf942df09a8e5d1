#include "kept/PathList.h"
#include "kept/PreferenceValue.h"

#include <memory>

#include "KeptTestSupport.h"
#include "unit/settings/SettingsTestFolders.h"

using namespace kept;

namespace {

using PreferenceValueTest = SettingsTestFolders;

std::basic_string<unsigned char> Pascal(const std::string& text) {
    std::basic_string<unsigned char> key(1, static_cast<unsigned char>(text.size()));
    return key.append(text.begin(), text.end());
}
std::string Read(const std::string& key, bool allUsers) {
    std::unique_ptr<char[]> value(ReadPreferenceValue(Pascal(key).c_str(), allUsers));
    return value ? value.get() : "<none>";
}
void Write(std::string value, const std::string& key, bool allUsers) {
    EXPECT_EQ(WritePreferenceValue(value.data(), Pascal(key).c_str(), allUsers), 0);
}

TEST_F(PreferenceValueTest, AllUsersStoreComesFirstAndTextIsCutOnACharacterBoundary) {
    Write("mine", "Server", false);
    EXPECT_EQ(Read("Server", true), "mine") << "falls back when all users have none";
    Write("shared", "Server", true);
    EXPECT_EQ(Read("Server", true), "shared");
    EXPECT_EQ(Read("Server", false), "mine");

    // A system folder below a plain file cannot be made, even by root.
    ReplaceFile(root_ / "plain", "x");
    testing_support::ScopedEnv blocked("XDG_CONFIG_DIRS", (root_ / "plain").c_str());
    Write("fallback", "Server", true);
    EXPECT_EQ(Read("Server", false), "fallback");
    EXPECT_EQ(Read("Server", true), "fallback");

    Write("caf\xc3\xa9", "Name", false);
    // 254 ASCII bytes then a two-byte character: the character is dropped whole.
    Write(std::string(254, 'a') + "\xc3\xa9", "Long", false);
    EXPECT_EQ(Read("Long", false), std::string(254, 'a'));

    EXPECT_EQ(ReadPreferenceValue(nullptr, 0), nullptr);
    EXPECT_EQ(WritePreferenceValue(nullptr, Pascal("Name").c_str(), 0), 0);
    EXPECT_EQ(Read("Name", false), "caf\xc3\xa9");
}

TEST(PathList, FoldersAndFilesAreMadeInsideTheParentOnlyAndRenamesNeverOverwrite) {
    TempFolder temp;
    std::filesystem::create_directory(temp / "A");
    WriteText(temp / "A" / "marker", "x");
    CList<std::string> list, expected;
    ParsePath(temp.path().string() + "/A", expected);
    for (const auto& item : {temp / "A" / "marker", temp / "A/"}) {
        EXPECT_EQ(MakeDirectoriesList(item, list), 0);
        EXPECT_EQ(TextsOf(list), TextsOf(expected)) << item;
    }

    std::filesystem::path out;
    EXPECT_EQ(MakeDirectory(temp.path(), Fill(list, {"A", "B"}), out), 0);
    EXPECT_EQ(out, temp / "A" / "B");
    // Names that would leave the parent, and a file standing where a folder should be.
    for (const Texts& bad : {Texts{"A", ".."}, Texts{"x/y"}, Texts{"A", "marker"}}) {
        EXPECT_NE(MakeDirectory(temp.path(), Fill(list, bad), out), 0) << bad.back();
    }
    EXPECT_EQ(MakeFile(temp.path(), Fill(list, {"L"}), "log.txt", out), 0);
    WriteText(out, "kept");
    EXPECT_EQ(MakeFile(temp.path(), list, "log.txt", out), 0);
    EXPECT_EQ(ReadText(temp / "L" / "log.txt"), "kept");
    EXPECT_NE(MakeFile(temp.path(), Fill(list, {}), "../escape", out), 0);

    // Changing a suffix renames the whole of a long name too, but never over another item.
    const std::string stem(200, 'n');
    for (const std::string& name : {std::string("report"), stem}) {
        WriteText(temp / (name + ".TXT"), name);
        ChangeFilesSuffix(temp / (name + ".TXT"), "txt", "html");
        EXPECT_EQ(ReadText(temp / (name + ".html")), name);
    }
    WriteText(temp / "a.html", "a.html");
    WriteText(temp / "a.txt", "a.txt");
    ChangeFilesSuffix(temp / "a.txt", "txt", "html");
    EXPECT_EQ(ReadText(temp / "a.txt") + ReadText(temp / "a.html"), "a.txta.html");
}

}  // namespace
