#include <gtest/gtest.h>

#include "mail/NotificationBody.h"

namespace mail {
namespace {

TEST(NotificationBodyTest, ValuesAreNeverReadAsFormats) {
    EXPECT_EQ(FillPlaceholders("%@ and %@ at 100%%", {"%@", "%s%n"}), "%@ and %s%n at 100%");
    EXPECT_EQ(FillPlaceholders("%@ %@ %@", {"only"}), "only  ");
}

}  // namespace
}  // namespace mail
