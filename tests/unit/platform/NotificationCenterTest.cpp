#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TEST(NotificationCenterTest, DeliversToMatchingObserversOnce) {
    platform::LocalNotificationCenter center;
    Names seen;
    auto record = [&](const std::string& tag) {
        return [&, tag](const std::string& n, const std::string& o) {
            seen.push_back(tag + n + "|" + o);
        };
    };
    center.addObserver("Preferences Changed", "com.example.a", record(""));
    center.addObserver("", "com.example.b", record("any name: "));
    center.post("Preferences Changed", "com.example.a");
    center.post("Other", "com.example.b");
    center.post("Preferences Changed", "com.example.c");
    EXPECT_EQ(seen, (Names{"Preferences Changed|com.example.a", "any name: Other|com.example.b"}));
}

TEST(NotificationCenterTest, ObserversMayRemoveThemselvesAndOthersWhileRunning) {
    platform::LocalNotificationCenter center;
    int first = 0;
    int second = 0;
    platform::NotificationCenter::ObserverId firstId = 0, secondId = 0;
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
