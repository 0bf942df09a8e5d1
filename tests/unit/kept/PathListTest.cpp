#include "kept/PathList.h"

#include "KeptTestSupport.h"

using namespace base;
using namespace kept;

namespace fs = std::filesystem;

namespace {

TEST(PathList, MakeDirectoriesListMakeDirectoryAndMakeFileStayInside) {
    TempFolder temp;
    fs::create_directory(temp / "A");
    WriteText(temp / "A" / "marker", "x");
    CList<std::string> expected, list;
    ParsePath(temp.path().string() + "/A", expected);
    EXPECT_EQ(MakeDirectoriesList(temp / "A" / "marker", list), 0);
    EXPECT_EQ(TextsOf(list), TextsOf(expected));
    EXPECT_EQ(MakeDirectoriesList(temp / "A/", list), 0);
    EXPECT_EQ(TextsOf(list), TextsOf(expected));
    EXPECT_NE(MakeDirectoriesList(temp / "none", list), 0);

    fs::path out = "unchanged";
    EXPECT_EQ(MakeDirectory(temp.path(), Fill(list, {}), out), 0);
    EXPECT_EQ(out, "unchanged");
    EXPECT_EQ(MakeDirectory(temp.path(), Fill(list, {"A", "B"}), out), 0);
    EXPECT_TRUE(fs::is_directory(temp / "A" / "B"));
    EXPECT_EQ(ReadText(temp / "A" / "marker"), "x");
    // Names that would leave the parent, and a file standing where a folder should be.
    for (const Texts& bad : {Texts{"A", ".."}, Texts{"x/y"}, Texts{"A", "marker"}}) {
        EXPECT_NE(MakeDirectory(temp.path(), Fill(list, bad), out), 0) << bad.back();
    }
    fs::path file;
    EXPECT_EQ(MakeFile(temp.path(), Fill(list, {"L", "M"}), "log.txt", file), 0);
    EXPECT_EQ(file, temp / "L" / "M" / "log.txt");
    WriteText(file, "kept");
    EXPECT_EQ(MakeFile(temp.path(), list, "log.txt", file), 0);
    EXPECT_EQ(ReadText(file), "kept");
    EXPECT_NE(MakeFile(temp.path(), Fill(list, {}), "../escape", file), 0);
}

TEST(PathList, ChangeFilesSuffixNeverOverwrites) {
    TempFolder temp;
    const std::string stem(200, 'n');  // the whole of a long name survives
    const std::pair<std::string, std::string> cases[] = {{"report.TXT", "report.html"},
                                                         {"report.doc", "report.doc"},
                                                         {stem + ".txt", stem + ".html"}};
    for (const auto& [before, after] : cases) {
        WriteText(temp / before, before);
        ChangeFilesSuffix(temp / before, "txt", "html");
        EXPECT_EQ(ReadText(temp / after), before);
    }
    WriteText(temp / "a.html", "a.html");
    WriteText(temp / "a.txt", "a.txt");
    ChangeFilesSuffix(temp / "a.txt", "txt", "html");
    EXPECT_EQ(ReadText(temp / "a.txt") + ReadText(temp / "a.html"), "a.txta.html");
}

}  // namespace
