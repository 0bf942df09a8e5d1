#include "settings/MailReaders.h"

#include "settings/SettingsKeys.h"
#include "settings/ValueConversions.h"

namespace settings {
namespace {

std::optional<std::string> StringEntry(std::string_view key) {
    const std::optional<Value> value = CopyAppValue(key);
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<std::string> NonEmptyStringEntry(std::string_view key) {
    std::optional<std::string> text = StringEntry(key);
    return text && !text->empty() ? text : std::nullopt;
}

}  // namespace

std::string DescribeValue(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return v ? "YES" : "NO";
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else {
                return std::to_string(v);
            }
        },
        value);
}

std::optional<std::string> ReadMailServer() {
    return NonEmptyStringEntry(keys::kMailServer);
}

MailPort MailPortFromValue(const std::optional<Value>& value) {
    if (!value) {
        return {25, {}};
    }
    const std::optional<std::int64_t> port =
        std::holds_alternative<bool>(*value) ? std::nullopt : IntegerOf(*value);
    if (!port || *port < 1 || *port > 65535) {
        return {std::nullopt, DescribeValue(*value)};
    }
    return {static_cast<long>(*port), DescribeValue(*value)};
}

MailPort ReadMailPort() {
    return MailPortFromValue(CopyAppValue(keys::kPort));
}

std::optional<long long> ReadAuthenticationMode() {
    const std::optional<Value> value = CopyAppValue(keys::kAuthentication);
    if (!value) {
        return std::nullopt;
    }
    return IntegerOf(*value).value_or(0);
}

std::optional<std::string> ReadUsername() {
    return StringEntry(keys::kUsername);
}

std::optional<std::string> ReadUserPassword() {
    return StringEntry(keys::kUserPassword);
}

std::optional<std::string> ReadEmailFrom() {
    return NonEmptyStringEntry(keys::kEmailFrom);
}

}  // namespace settings
