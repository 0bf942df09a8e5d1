#include "settings/SettingsTable.h"

#include "settings/ControllerReaders.h"
#include "settings/Readers.h"

namespace settings {

namespace {

constexpr long long ParseWhole(std::string_view text) {
    long long number = 0;
    for (const char c : text) {
        number = number * 10 + (c - '0');
    }
    return number;
}

// The readers' own constants are the table's defaults.
static_assert(ParseWhole(FindSetting(keys::kMinutesInterval)->defaultText) ==
              kDefaultMinutesInterval);
static_assert(ParseWhole(FindSetting(keys::kInitialRefresh)->defaultText) ==
              kDefaultInitialRefresh);
static_assert(FindSetting(keys::kExternalIPLookupURL)->defaultText == kDefaultExternalIPLookupURL);

}  // namespace

std::string_view TypeName(SettingType type) {
    switch (type) {
        case SettingType::Boolean:
            return "boolean";
        case SettingType::Integer:
            return "integer";
        case SettingType::String:
            return "string";
        case SettingType::StringOrInteger:
            break;
    }
    return "string or integer";
}

}  // namespace settings
