#include "prefpane/SoundFiles.h"

#include <gtest/gtest.h>

#include "support/FileText.h"
#include "support/TempFolder.h"

namespace prefpane {
namespace {

TEST(SoundFilesTest, FindsTheResourceByItsStemInFolderOrder) {
    testing_support::TempFolder root{"sounds"};
    std::filesystem::create_directories(root / "a");
    std::filesystem::create_directories(root / "b");
    testing_support::WriteText(root / "b" / "Mail Not Sent.aiff", "FORM");
    testing_support::WriteText(root / "a" / "Mail Not Sent.oga", "OggS");
    const std::vector<std::filesystem::path> folders{root / "a", root / "b"};

    EXPECT_EQ(FindSoundFile("Mail Not Sent.aiff", folders),
              (root / "a" / "Mail Not Sent.oga").string());
}

}  // namespace
}  // namespace prefpane
