#include "foundation/CString256.h"

#include <gtest/gtest.h>

TEST(CString256, KeepsFirst255BytesOfLongerText) {
    std::string long_text(300, 'a');
    CString256 s(long_text.c_str());
    EXPECT_EQ(s.length(), 255u);
}
