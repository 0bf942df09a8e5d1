#include "settings/ValueConversions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace settings {

namespace {

using Limits = std::numeric_limits<std::int64_t>;

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::optional<std::int64_t> Truncated(double real) {
    if (std::isnan(real)) {
        return std::nullopt;
    }
    // Clamped first: converting an out-of-range double is undefined.
    constexpr double kLimit = 9.2e18;
    return static_cast<std::int64_t>(std::clamp(real, -kLimit, kLimit));
}

bool StringReadsTrue(std::string_view text) {
    text = WithoutLeadingBlanks(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.front() == '0') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
    return first == 'Y' || first == 'T' || (first >= '1' && first <= '9');
}

}  // namespace

bool BoolOf(const Value& value) {
    if (const bool* flag = std::get_if<bool>(&value)) {
        return *flag;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return *number != 0;
    }
    if (const double* real = std::get_if<double>(&value)) {
        return *real != 0.0;
    }
    return StringReadsTrue(std::get<std::string>(value));
}

std::optional<std::int64_t> LeadingInteger(std::string_view text) {
    text = WithoutLeadingBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !IsDigit(text.front())) {
        return std::nullopt;
    }
    // Counted towards the sign's own limit, so both limits are reachable.
    std::int64_t number = 0;
    for (; !text.empty() && IsDigit(text.front()); text.remove_prefix(1)) {
        const int digit = text.front() - '0';
        if (negative) {
            number = number < (Limits::min() + digit) / 10 ? Limits::min() : number * 10 - digit;
        } else {
            number = number > (Limits::max() - digit) / 10 ? Limits::max() : number * 10 + digit;
        }
    }
    return number;
}

std::optional<std::int64_t> IntegerOf(const Value& value) {
    if (const bool* flag = std::get_if<bool>(&value)) {
        return *flag ? 1 : 0;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return LeadingInteger(*text);
    }
    return NumberOf(value);
}

std::optional<std::int64_t> NumberOf(const Value& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return *number;
    }
    if (const double* real = std::get_if<double>(&value)) {
        return Truncated(*real);
    }
    return std::nullopt;
}

}  // namespace settings
