#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace settings {

// The program's settings domain; the application's user defaults share it.
inline constexpr std::string_view kDomain = "com.kestrune.OrbalenStatus";

// A stored value: a boolean, a whole number, a real number or a string.
using Value = std::variant<bool, std::int64_t, double, std::string>;

// The preferences service: values live in memory until synchronized.
std::optional<Value> CopyAppValue(std::string_view key, std::string_view domain = kDomain);
// Stores value under key; std::nullopt deletes the key.
void SetAppValue(std::string_view key, std::optional<Value> value,
                 std::string_view domain = kDomain);
// Writes pending changes and picks up other processes' changes.
bool AppSynchronize(std::string_view domain = kDomain);
// Every value of the domain, pending changes included (for tools).
std::map<std::string, Value, std::less<>> CopyAllAppValues(std::string_view domain = kDomain);

// The application's user defaults (the same domain).
class UserDefaults {
public:
    static UserDefaults& standard();
    std::optional<Value> objectForKey(std::string_view key) const;
    // The value read by BoolOf / IntegerOf (settings/ValueConversions.h);
    // false or 0 when absent.
    bool boolForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;
    void setObject(std::optional<Value> value, std::string_view key);
    bool synchronize();
};

}  // namespace settings
