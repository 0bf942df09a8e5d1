#include "controller/ExternalAnswer.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

#include "netinfo/StringExtensions.h"

namespace controller {

namespace {

constexpr std::string_view kStartMarker = "Current IP Address: ";
constexpr std::string_view kEndMarker = "</body></html>";
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

bool IsDottedQuad(const std::string& text) {
    in_addr parsed{};
    // inet_pton stops at a NUL that the string would still carry on.
    return text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    return !std::ranges::search(text, part, [](unsigned char x, unsigned char y) {
                return std::tolower(x) == std::tolower(y);
            }).empty();
}

}  // namespace

std::optional<std::string> AddressFromLookupPage(std::string_view page) {
    std::string address;
    if (const auto between = netinfo::extractBetweenPattern(page, kStartMarker, kEndMarker)) {
        address = Trimmed(*between);
    } else if (!ContainsIgnoringCase(page, Trimmed(kStartMarker))) {
        address = Trimmed(page);
    }
    if (!IsDottedQuad(address)) {
        return std::nullopt;
    }
    return address;
}

std::vector<std::string> LookupURLs(std::string_view setting) {
    std::vector<std::string> urls;
    std::size_t start = setting.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const std::size_t end = setting.find_first_of(kBlanks, start);
        urls.emplace_back(setting.substr(start, end - start));
        start = end == std::string_view::npos ? end : setting.find_first_not_of(kBlanks, end);
    }
    return urls;
}

bool SameAddressIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace controller
