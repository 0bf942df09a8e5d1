#include "settings/MailReaders.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "settings/SettingsKeys.h"

namespace settings {
namespace {

std::optional<long long> LeadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
        return std::nullopt;
    }
    long long value = 0;
    constexpr long long kCap = std::numeric_limits<long long>::max() / 10 - 9;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = std::min(kCap, value * 10 + (text[i] - '0'));  // saturate, never overflow
    }
    return negative ? -value : value;
}

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

std::optional<long long> IntValueOf(const Value& value) {
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? 1 : 0;
    }
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        if (!std::isfinite(*d) || std::fabs(*d) > 1e15) {
            return std::nullopt;
        }
        return static_cast<long long>(*d);
    }
    return LeadingInteger(std::get<std::string>(value));
}

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
    const std::optional<long long> port =
        std::holds_alternative<bool>(*value) ? std::nullopt : IntValueOf(*value);
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
    return IntValueOf(*value).value_or(0);
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
