#include "mail/SenderSettings.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace mail {
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

}  // namespace

std::optional<long long> IntValueOf(const settings::Value& value) {
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

std::optional<long> PortFromSetting(const std::optional<settings::Value>& value) {
    if (!value) {
        return 25;
    }
    if (std::holds_alternative<bool>(*value)) {
        return std::nullopt;
    }
    const std::optional<long long> port = IntValueOf(*value);
    if (!port || *port < 1 || *port > 65535) {
        return std::nullopt;
    }
    return static_cast<long>(*port);
}

std::string DescribeValue(const settings::Value& value) {
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

std::optional<std::string> NonEmptyString(const std::optional<settings::Value>& value) {
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    if (text == nullptr || text->empty()) {
        return std::nullopt;
    }
    return *text;
}

}  // namespace mail
