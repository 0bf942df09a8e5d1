#include "settings/Preferences.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "settings/PreferenceDomain.h"

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

namespace {

bool StringReadsTrue(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text == "yes" || text == "true" || text == "1";
}

std::int64_t ToInteger(double number) {
    if (std::isnan(number)) {
        return 0;
    }
    // Clamped, since converting an out-of-range double is undefined.
    constexpr double kLimit = 9.2e18;
    return static_cast<std::int64_t>(std::clamp(number, -kLimit, kLimit));
}

std::int64_t ToInteger(const std::string& text) {
    errno = 0;
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    return errno == ERANGE ? 0 : number;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
    return CopyAppValue(key);
}

bool UserDefaults::boolForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) {
        return false;
    }
    if (const bool* flag = std::get_if<bool>(&*value)) {
        return *flag;
    }
    if (const auto* number = std::get_if<std::int64_t>(&*value)) {
        return *number != 0;
    }
    if (const double* real = std::get_if<double>(&*value)) {
        return *real != 0.0;
    }
    return StringReadsTrue(std::get<std::string>(*value));
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    if (!value) {
        return 0;
    }
    return std::visit(
        [](const auto& v) -> std::int64_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return v ? 1 : 0;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return v;
            } else {
                return ToInteger(v);
            }
        },
        *value);
}

void UserDefaults::setObject(std::optional<Value> value, std::string_view key) {
    SetAppValue(key, std::move(value));
}

bool UserDefaults::synchronize() {
    return AppSynchronize();
}

}  // namespace settings
