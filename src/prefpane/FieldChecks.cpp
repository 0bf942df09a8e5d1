#include "prefpane/FieldChecks.h"

#include <algorithm>
#include <charconv>

#include "mail/MailMessage.h"

namespace prefpane {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

template <typename Number>
std::optional<Number> WholeNumber(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::string> PortProblem(std::string_view text) {
    const auto port = WholeNumber<long>(text);
    if (!port || *port < 1 || *port > 65535) {
        return "The port is a number from 1 to 65535.";
    }
    return std::nullopt;
}

std::optional<std::int16_t> ParseInterval(std::string_view text) {
    return WholeNumber<std::int16_t>(text);
}

std::optional<std::string> IntervalProblem(std::string_view text) {
    if (!ParseInterval(text)) {
        return "The interval is a whole number of minutes.";
    }
    return std::nullopt;
}

std::optional<std::string> RecipientsProblem(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view piece = Trimmed(text.substr(start, comma - start));
        if (!piece.empty() && !mail::PlainAddress(piece)) {
            return "\"" + std::string(piece) + "\" is not an e-mail address (name@example.org).";
        }
        start = comma + 1;
    }
    return std::nullopt;
}

}  // namespace prefpane
