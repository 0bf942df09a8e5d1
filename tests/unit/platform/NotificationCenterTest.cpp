#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NotificationCenterTest, DeliversToMatchingObserversOnce) {
    platform::LocalNotificationCenter center;
    std::vector<std::string> seen;
    center.addObserver(
        "Preferences Changed", "com.example.a",
        [&](const std::string& n, const std::string& o) { seen.push_back(n + "|" + o); });
    center.addObserver("", "com.example.b", [&](const std::string&, const std::string& o) {
        seen.push_back("any name|" + o);
    });
    center.post("Preferences Changed", "com.example.a");
    center.post("Other", "com.example.b");
    center.post("Preferences Changed", "com.example.c");
    EXPECT_EQ(seen, (std::vector<std::string>{"Preferences Changed|com.example.a",
                                              "any name|com.example.b"}));
}

TEST(NotificationCenterTest, ObserversMayRemoveThemselvesAndOthersWhileRunning) {
    platform::LocalNotificationCenter center;
    int first = 0;
    int second = 0;
    platform::NotificationCenter::ObserverId firstId = 0;
    platform::NotificationCenter::ObserverId secondId = 0;
    firstId = center.addObserver("n", "", [&](const std::string&, const std::string&) {
        ++first;
        center.removeObserver(firstId);
        center.removeObserver(secondId);
    });
    secondId =
        center.addObserver("n", "", [&](const std::string&, const std::string&) { ++second; });
    center.post("n", "x");
    center.post("n", "x");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    center.removeObserver(999);
}

}  // namespace
