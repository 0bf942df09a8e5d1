#include "foundation/PathList.h"

#include "FoundationTestSupport.h"

using namespace foundation;

namespace fs = std::filesystem;

namespace {

TEST(PathList, ParseCompareAndTrim) {
    CList<std::string> list;
    list.append("x");
    ParsePath("/a//b/", list);
    ParsePath("///", list);
    EXPECT_EQ(TextsOf(list), (Texts{"x", "a", "b"}));

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

TEST(PathList, DirectoriesListOfAFileOrFolderEndsWithTheFolder) {
    TempFolder temp;
    fs::create_directory(temp / "Docs");
    WriteText(temp / "Docs" / "f.txt", "x");
    CList<std::string> expected, ofFile, ofFolder;
    ParsePath(temp.path().string() + "/Docs", expected);
    EXPECT_EQ(MakeDirectoriesList(temp / "Docs" / "f.txt", ofFile), 0);
    EXPECT_EQ(MakeDirectoriesList(temp / "Docs/", ofFolder), 0);
    EXPECT_EQ(TextsOf(ofFile), TextsOf(expected));
    EXPECT_EQ(TextsOf(ofFolder), TextsOf(expected));
    EXPECT_NE(MakeDirectoriesList(temp / "none", ofFile), 0);
}

TEST(PathList, MakeDirectoryAndFileCreateOnlyWhatIsMissingAndStayInside) {
    TempFolder temp;
    fs::create_directory(temp / "A");
    WriteText(temp / "A" / "marker", "x");
    CList<std::string> list;
    fs::path out = "unchanged";
    EXPECT_EQ(MakeDirectory(temp.path(), Fill(list, {}), out), 0);
    EXPECT_EQ(out, "unchanged");
    EXPECT_EQ(MakeDirectory(temp.path(), Fill(list, {"A", "B"}), out), 0);
    EXPECT_EQ(out, temp / "A" / "B");
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_EQ(ReadText(temp / "A" / "marker"), "x");
    // Names that would leave the parent, and a file standing where a folder should be.
    EXPECT_NE(MakeDirectory(temp.path(), Fill(list, {"A", ".."}), out), 0);
    EXPECT_NE(MakeDirectory(temp.path(), Fill(list, {"x/y"}), out), 0);
    EXPECT_NE(MakeDirectory(temp.path(), Fill(list, {"A", "marker"}), out), 0);

    fs::path file;
    EXPECT_EQ(MakeFile(temp.path(), Fill(list, {"L", "M"}), "log.txt", file), 0);
    EXPECT_EQ(file, temp / "L" / "M" / "log.txt");
    WriteText(file, "kept");
    EXPECT_EQ(MakeFile(temp.path(), list, "log.txt", file), 0);
    EXPECT_EQ(ReadText(file), "kept");
    EXPECT_EQ(MakeFile(temp.path(), Fill(list, {}), "top", file), 0);
    EXPECT_EQ(file, temp / "top");
    EXPECT_NE(MakeFile(temp.path(), list, "../escape", file), 0);
}

TEST(PathList, ChangeFilesSuffix) {
    TempFolder temp;
    struct Case {
        std::string before, after;
    };
    const std::string stem(200, 'n');  // the whole of a long name survives
    const Case cases[] = {{"report.TXT", "report.html"},
                          {"report.doc", "report.doc"},
                          {"notes", "notes.html"},
                          {stem + ".txt", stem + ".html"}};
    for (const auto& c : cases) {
        WriteText(temp / c.before, c.before);
        ChangeFilesSuffix(temp / c.before, "txt", "html");
        EXPECT_EQ(ReadText(temp / c.after), c.before) << c.before;
    }
    // An item that already has the new name is not overwritten.
    WriteText(temp / "a.html", "a.html");
    WriteText(temp / "a.txt", "a.txt");
    ChangeFilesSuffix(temp / "a.txt", "txt", "html");
    EXPECT_EQ(ReadText(temp / "a.txt"), "a.txt");
    EXPECT_EQ(ReadText(temp / "a.html"), "a.html");
}

}  // namespace
