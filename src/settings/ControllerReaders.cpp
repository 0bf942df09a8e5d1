#include "settings/ControllerReaders.h"

#include "settings/Preferences.h"
#include "settings/SettingsKeys.h"

namespace settings {

namespace {

std::optional<std::string> UnsynchronizedString(std::string_view key) {
    const auto value = CopyAppValue(key);
    const std::string* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

void WriteString(std::string_view key, const std::string& text) {
    SetAppValue(key, Value(text));
    AppSynchronize();
}

}  // namespace

std::optional<std::string> ReadLastIPAddress() {
    return UnsynchronizedString(keys::kLastIPAddress);
}

void WriteLastIPAddress(const std::string& address) {
    WriteString(keys::kLastIPAddress, address);
}

void WriteLastExternalIPAddress(const std::string& address) {
    WriteString(keys::kLastExternalIPAddress, address);
}

std::optional<std::string> ReadEmail() {
    return UnsynchronizedString(keys::kEmail);
}

std::int64_t ReadInitialRefreshStoringDefault() {
    auto& defaults = UserDefaults::standard();
    defaults.synchronize();
    if (!defaults.objectForKey(keys::kInitialRefresh)) {
        defaults.setObject(Value(kDefaultInitialRefresh), keys::kInitialRefresh);
        defaults.synchronize();
    }
    return defaults.integerForKey(keys::kInitialRefresh);
}

}  // namespace settings
