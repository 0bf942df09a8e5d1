#include "log/HfsPath.h"

#include <gtest/gtest.h>

#include "foundation/Conversions.h"

namespace {

TEST(HfsPathTest, UndoesTheColonSeparatedForm) {
    for (const char* posix : {"/", "/home/ann/OrbalenStatus.log", "/data/Kestrune Software/a:b.log",
                              "/x/with/slash:and:colons"}) {
        CString256 hfs(posix);
        ConvertPosixPathToHFSPath(hfs);
        ASSERT_NE(std::string(hfs.c_str()), posix) << "converted";
        EXPECT_EQ(ConvertHFSPathToPosixPath(hfs.c_str()), std::string(posix));
    }
    EXPECT_EQ(ConvertHFSPathToPosixPath("/already/posix"), "/already/posix");
    for (const char* bad : {"", "relative", "Other:x", "Rootless:x", "Root::x", "Root:x:"}) {
        EXPECT_FALSE(ConvertHFSPathToPosixPath(bad)) << bad;
    }
}

}  // namespace
