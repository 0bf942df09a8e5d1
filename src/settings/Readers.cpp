#include "settings/Readers.h"

#include <algorithm>
#include <optional>

#include "settings/Preferences.h"
#include "settings/SettingsKeys.h"
#include "settings/ValueConversions.h"

namespace settings {

namespace {

std::optional<Value> SynchronizedValue(std::string_view key) {
    AppSynchronize();
    return CopyAppValue(key);
}

// A user default present in the store is read as a boolean; absent is fallback.
bool ReadUserDefaultFlag(std::string_view key, bool fallback) {
    auto& defaults = UserDefaults::standard();
    defaults.synchronize();
    return defaults.objectForKey(key) ? defaults.boolForKey(key) : fallback;
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
    return text ? *text : "0.0.0.0";
}

std::int64_t ReadInitialRefresh() {
    auto& defaults = UserDefaults::standard();
    defaults.synchronize();
    return defaults.objectForKey(keys::kInitialRefresh)
               ? defaults.integerForKey(keys::kInitialRefresh)
               : 20;
}

bool ReadUseSSL() {
    return ReadUserDefaultFlag(keys::kUseSSL, true);
}

bool ReadLogToSystemConsole() {
    return ReadUserDefaultFlag(keys::kLogToSystemConsole, true);
}

bool ReadLogToPrivateConsoleLog() {
    return ReadUserDefaultFlag(keys::kLogToPrivateConsoleLog, true);
}

bool ReadAllowUntrustedCertificates() {
    return ReadUserDefaultFlag(keys::kAllowUntrustedCertificates, false);
}

std::string ReadExternalIPLookupURL() {
    const auto value = SynchronizedValue(keys::kExternalIPLookupURL);
    const std::string* url = value ? std::get_if<std::string>(&*value) : nullptr;
    return url && !url->empty() ? *url : std::string(kDefaultExternalIPLookupURL);
}

}  // namespace settings
