#include "foundation/PathList.h"

#include <fstream>

#include "CTextTestSupport.h"

namespace fs = std::filesystem;

namespace {

CList<std::string>& Fill(CList<std::string>& list, const Texts& names) {
    list.clear();
    for (const auto& name : names) {
        list.append(name);
    }
    return list;
}

TEST(PathList, ParsePathSkipsEmptyPiecesAndAppends) {
    CList<std::string> list;
    list.append("x");
    ParsePath("/a//b/", list);
    EXPECT_EQ(TextsOf(list), (Texts{"x", "a", "b"}));
    ParsePath("///", list);
    EXPECT_EQ(list.count, 3);
}

TEST(PathList, DirectoriesListOfAFileOrFolderEndsWithTheFolder) {
    TempFolder temp;
    fs::create_directory(temp.path() / "Docs");
    std::ofstream(temp.path() / "Docs" / "f.txt") << "x";
    CList<std::string> expected;
    ParsePath(temp.path().string() + "/Docs", expected);

    CList<std::string> ofFile, ofFolder;
    EXPECT_EQ(MakeDirectoriesList(temp.path() / "Docs" / "f.txt", ofFile), 0);
    EXPECT_EQ(MakeDirectoriesList(temp.path() / "Docs/", ofFolder), 0);
    EXPECT_EQ(TextsOf(ofFile), TextsOf(expected));
    EXPECT_EQ(TextsOf(ofFolder), TextsOf(expected));
    EXPECT_NE(MakeDirectoriesList(temp.path() / "none", ofFile), 0);
}

TEST(PathList, PrefixTestAndTrimming) {
    CList<std::string> a, b;
    Fill(a, {"Disk", "Docs", "Old"});
    EXPECT_EQ(DirectoriesListBeginsWithDirectoriesList(a, Fill(b, {"disk", "docs"})), 1);
    EXPECT_EQ(DirectoriesListBeginsWithDirectoriesList(a, Fill(b, {"Disk", "Old"})), 0);
    EXPECT_EQ(DirectoriesListBeginsWithDirectoriesList(a, Fill(b, {})), 1);
    EXPECT_EQ(DirectoriesListBeginsWithDirectoriesList(a, Fill(b, {"Disk", "Docs", "Old", "x"})),
              0);
    TrimDirectoriesList(a, 1);
    EXPECT_EQ(TextsOf(a), (Texts{"Docs", "Old"}));
    TrimDirectoriesList(a, 10);
    EXPECT_EQ(a.count, 0);
    EXPECT_EQ(a.tail, nullptr);
}

TEST(PathList, MakeDirectoryCreatesOnlyWhatIsMissing) {
    TempFolder temp;
    fs::create_directory(temp.path() / "A");
    std::ofstream(temp.path() / "A" / "marker") << "x";
    CList<std::string> list;
    fs::path out;
    EXPECT_EQ(MakeDirectory(temp.path(), Fill(list, {"A", "B"}), out), 0);
    EXPECT_EQ(out, temp.path() / "A" / "B");
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_TRUE(fs::exists(temp.path() / "A" / "marker"));

    fs::path unchanged = "unchanged";
    EXPECT_EQ(MakeDirectory(temp.path(), Fill(list, {}), unchanged), 0);
    EXPECT_EQ(unchanged, "unchanged");
    // Names that would leave the parent, and a file standing where a folder should be.
    EXPECT_NE(MakeDirectory(temp.path(), Fill(list, {"A", ".."}), out), 0);
    EXPECT_NE(MakeDirectory(temp.path(), Fill(list, {"x/y"}), out), 0);
    EXPECT_NE(MakeDirectory(temp.path(), Fill(list, {"A", "marker"}), out), 0);
}

TEST(PathList, MakeFileKeepsAnExistingFile) {
    TempFolder temp;
    CList<std::string> list;
    fs::path file;
    EXPECT_EQ(MakeFile(temp.path(), Fill(list, {"L", "M"}), "log.txt", file), 0);
    EXPECT_EQ(file, temp.path() / "L" / "M" / "log.txt");
    std::ofstream(file) << "kept";
    EXPECT_EQ(MakeFile(temp.path(), list, "log.txt", file), 0);
    EXPECT_EQ(fs::file_size(file), 4u);
    EXPECT_EQ(MakeFile(temp.path(), Fill(list, {}), "top", file), 0);
    EXPECT_EQ(file, temp.path() / "top");
    EXPECT_NE(MakeFile(temp.path(), list, "../escape", file), 0);
}

TEST(PathList, ChangeFilesSuffix) {
    TempFolder temp;
    auto make = [&](const std::string& name) {
        std::ofstream(temp.path() / name) << name;
        return temp.path() / name;
    };
    ChangeFilesSuffix(make("report.TXT"), "txt", "html");
    EXPECT_TRUE(fs::exists(temp.path() / "report.html"));
    ChangeFilesSuffix(make("report.doc"), "txt", "html");
    EXPECT_TRUE(fs::exists(temp.path() / "report.doc"));
    ChangeFilesSuffix(make("notes"), "txt", "html");
    EXPECT_TRUE(fs::exists(temp.path() / "notes.html"));
    // The whole of a long name survives.
    std::string stem(200, 'n');
    ChangeFilesSuffix(make(stem + ".txt"), "txt", "md");
    EXPECT_TRUE(fs::exists(temp.path() / (stem + ".md")));
    // An item that already has the new name is not overwritten.
    make("a.html");
    ChangeFilesSuffix(make("a.txt"), "txt", "html");
    EXPECT_TRUE(fs::exists(temp.path() / "a.txt"));
    std::ifstream kept(temp.path() / "a.html");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "a.html");
}

}  // namespace
