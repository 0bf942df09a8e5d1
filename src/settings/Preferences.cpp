#include "settings/Preferences.h"

#include "settings/PreferenceDomain.h"
#include "settings/ValueConversions.h"

namespace settings {

std::optional<Value> CopyAppValue(std::string_view key, std::string_view domain) {
    PreferenceDomain* store = UserDomain(domain);
    return store ? store->copy(key) : std::nullopt;
}

void SetAppValue(std::string_view key, std::optional<Value> value, std::string_view domain) {
    if (PreferenceDomain* store = UserDomain(domain)) {
        store->set(key, std::move(value));
    }
}

bool AppSynchronize(std::string_view domain) {
    PreferenceDomain* store = UserDomain(domain);
    return store && store->synchronize();
}

std::map<std::string, Value, std::less<>> CopyAllAppValues(std::string_view domain) {
    PreferenceDomain* store = UserDomain(domain);
    return store ? store->copyAll() : std::map<std::string, Value, std::less<>>{};
}

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
    return CopyAppValue(key);
}

bool UserDefaults::boolForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    return value && BoolOf(*value);
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    return value ? IntegerOf(*value).value_or(0) : 0;
}

void UserDefaults::setObject(std::optional<Value> value, std::string_view key) {
    SetAppValue(key, std::move(value));
}

bool UserDefaults::synchronize() {
    return AppSynchronize();
}

}  // namespace settings
