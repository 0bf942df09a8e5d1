#include "settings/Readers.h"

#include <algorithm>
#include <optional>

#include "settings/ControllerReaders.h"
#include "settings/Preferences.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsTable.h"
#include "settings/ValueConversions.h"

namespace settings {

namespace {

std::optional<Value> SynchronizedValue(std::string_view key) {
    AppSynchronize();
    return CopyAppValue(key);
}

// A user default present in the store is read as a boolean; absent, the
// settings table's default applies.
bool ReadUserDefaultFlag(std::string_view key) {
    auto& defaults = UserDefaults::standard();
    defaults.synchronize();
    return defaults.objectForKey(key) ? defaults.boolForKey(key)
                                      : FindSetting(key)->defaultText == "YES";
}

}  // namespace

bool ReadFlag(std::string_view key) {
    const auto value = SynchronizedValue(key);
    const bool* flag = value ? std::get_if<bool>(&*value) : nullptr;
    return flag && *flag;
}

std::int16_t ReadMinutesInterval() {
    const auto value = SynchronizedValue(keys::kMinutesInterval);
    const std::int64_t minutes =
        value ? NumberOf(*value).value_or(kDefaultMinutesInterval) : kDefaultMinutesInterval;
    // Bounded before narrowing: a large entry must not wrap to a wrong or
    // negative interval.
    return static_cast<std::int16_t>(
        std::clamp<std::int64_t>(minutes, kDefaultMinutesInterval, kMaxMinutesInterval));
}

std::int16_t ReadMinutesIntervalInSeconds() {
    return static_cast<std::int16_t>(ReadMinutesInterval() * 60);
}

std::string ReadLastExternalIPAddress() {
    const auto value = SynchronizedValue(keys::kLastExternalIPAddress);
    const std::string* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? *text : std::string(FindSetting(keys::kLastExternalIPAddress)->defaultText);
}

std::int64_t ReadInitialRefresh() {
    auto& defaults = UserDefaults::standard();
    defaults.synchronize();
    return defaults.objectForKey(keys::kInitialRefresh)
               ? defaults.integerForKey(keys::kInitialRefresh)
               : kDefaultInitialRefresh;
}

bool ReadUseSSL() {
    return ReadUserDefaultFlag(keys::kUseSSL);
}

bool ReadLogToSystemConsole() {
    return ReadUserDefaultFlag(keys::kLogToSystemConsole);
}

bool ReadLogToPrivateConsoleLog() {
    return ReadUserDefaultFlag(keys::kLogToPrivateConsoleLog);
}

bool ReadAllowUntrustedCertificates() {
    return ReadUserDefaultFlag(keys::kAllowUntrustedCertificates);
}

bool ReadNotifyDesktopOnChange() {
    return ReadUserDefaultFlag(keys::kNotifyDesktopOnChange);
}

std::string ReadExternalIPLookupURL() {
    const auto value = SynchronizedValue(keys::kExternalIPLookupURL);
    const std::string* url = value ? std::get_if<std::string>(&*value) : nullptr;
    return url && !url->empty() ? *url : std::string(kDefaultExternalIPLookupURL);
}

}  // namespace settings
