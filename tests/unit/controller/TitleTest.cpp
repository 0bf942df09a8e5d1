#include "ControllerTest.h"

namespace {

class TitleTest : public ControllerTest {};

struct TitleCase {
    const char* name;
    bool withIcon;
    bool machineSetting;
    bool wirelessSetting;
    std::optional<std::string> machineName;
    std::optional<std::string> wirelessName;
    const char* title;
    std::optional<std::string> image;
    int wirelessLookups;
};
PRINT_CASE_BY_NAME(TitleCase)

class TitleTableTest : public TitleTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(TitleTableTest, TitleJoinsTheSelectedPartsWithColons) {
    const auto& param = GetParam();
    store(keys::kIncludeMachineName, param.machineSetting);
    store(keys::kIncludeCurrentWirelessNetwork, param.wirelessSetting);
    machineName_ = param.machineName;
    wirelessName_ = param.wirelessName;
    item_.setImage("OrbalenStatusChange.tif");

    controller().setTitle("10.0.0.5", param.withIcon);

    EXPECT_EQ(item_.title(), param.title);
    EXPECT_EQ(item_.image(), param.image);
    EXPECT_EQ(wirelessLookups_, param.wirelessLookups);
    EXPECT_EQ(count("Wireless network: " + param.wirelessName.value_or("?")),
              param.wirelessLookups);
}

const std::optional<std::string> kSmall = "OrbalenStatusSmall.tif";
const TitleCase kTitleCases[] = {
    {"BareAddress", false, false, false, "Studio", "HomeNet", "10.0.0.5", std::nullopt, 0},
    {"MachineName", false, true, false, "Studio", "HomeNet", "10.0.0.5:Studio", std::nullopt, 0},
    {"MachineNameUnavailable", false, true, false, std::nullopt, "HomeNet", "10.0.0.5",
     std::nullopt, 0},
    {"WirelessName", false, false, true, "Studio", "HomeNet", "10.0.0.5:HomeNet", std::nullopt, 1},
    {"BothWithoutWirelessNetwork", false, true, true, "Studio", std::nullopt, "10.0.0.5:Studio:?",
     std::nullopt, 1},
    {"IconOnlyLooksNothingUp", true, true, true, "Studio", "HomeNet", "", kSmall, 0},
};
INSTANTIATE_TEST_SUITE_P(Settings, TitleTableTest, ::testing::ValuesIn(kTitleCases), CaseName());

TEST_F(TitleTest, NoAddressShowsThePlaceholderTextEvenInIconOnlyMode) {
    store(keys::kTitleIconOnly, true);
    store(keys::kIncludeMachineName, true);
    addresses_.answer({});
    refresh();
    EXPECT_EQ(item_.title(), "-.-.-.-:Studio");
    EXPECT_EQ(item_.image(), std::nullopt);
}

// When the change icon shows, and what takes it away again.
struct ChangeIconCase {
    const char* name;
    bool iconOnly;
    bool changeIconSetting;
    const char* titleAfterNotice;
    std::optional<std::string> imageAfterNotice;
    const char* titleAfterMenuOpens;
    std::optional<std::string> imageAfterMenuOpens;
};
PRINT_CASE_BY_NAME(ChangeIconCase)

class ChangeIconTest : public TitleTest, public ::testing::WithParamInterface<ChangeIconCase> {};

TEST_P(ChangeIconTest, ChangeNoticeShowsItUntilTheNextRefresh) {
    const auto& param = GetParam();
    store(keys::kTitleIconOnly, param.iconOnly);
    store(keys::kDisplayChangedIcon, param.changeIconSetting);
    addresses_.answer({"10.0.0.5"});
    start();

    addresses_.notify();  // the same first address: the icon shows all the same
    EXPECT_EQ(item_.title(), param.titleAfterNotice);
    EXPECT_EQ(item_.image(), param.imageAfterNotice);

    controller().menuNeedsUpdate();
    settle();
    EXPECT_EQ(item_.title(), param.titleAfterMenuOpens);
    EXPECT_EQ(item_.image(), param.imageAfterMenuOpens);
}

const std::optional<std::string> kChange = "OrbalenStatusChange.tif";
const ChangeIconCase kChangeIconCases[] = {
    {"TextModeBesideTheAddress", false, true, "10.0.0.5", kChange, "10.0.0.5", std::nullopt},
    {"IconOnlyReplacesTheSmallIcon", true, true, "", kChange, "", kSmall},
    {"SettingOff", false, false, "10.0.0.5", std::nullopt, "10.0.0.5", std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(Modes, ChangeIconTest, ::testing::ValuesIn(kChangeIconCases), CaseName());

}  // namespace
