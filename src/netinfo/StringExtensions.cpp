#include "netinfo/StringExtensions.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <vector>

namespace netinfo {

namespace {

using Folded = std::vector<UChar32>;

// Reads the character at byte i and moves i past it; the result is its
// case-folded code point. A byte that is not valid UTF-8 stands for itself,
// above the Unicode range, so it matches only the same byte.
UChar32 NextFolded(std::string_view text, std::size_t& i) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    auto at = static_cast<std::int32_t>(i);
    const std::int32_t start = at;
    UChar32 c;
    U8_NEXT(s, at, length, c);
    if (c < 0) {
        i = static_cast<std::size_t>(start) + 1;
        return 0x110000 + s[start];
    }
    i = static_cast<std::size_t>(at);
    return u_foldCase(c, U_FOLD_CASE_DEFAULT);
}

Folded Fold(std::string_view pattern) {
    Folded folded;
    for (std::size_t i = 0; i < pattern.size();) {
        folded.push_back(NextFolded(pattern, i));
    }
    return folded;
}

struct Match {
    std::size_t begin;
    std::size_t end;
};

// The match of pattern starting at byte `at`, if there is one.
std::optional<Match> MatchAt(std::string_view text, std::size_t at, const Folded& pattern) {
    std::size_t i = at;
    for (UChar32 wanted : pattern) {
        if (i >= text.size() || NextFolded(text, i) != wanted) {
            return std::nullopt;
        }
    }
    return Match{at, i};
}

// The first match starting at or after byte `from`; an empty pattern has none.
std::optional<Match> FindFirst(std::string_view text, const Folded& pattern, std::size_t from) {
    if (pattern.empty()) {
        return std::nullopt;
    }
    for (std::size_t at = from; at < text.size(); NextFolded(text, at)) {
        if (auto match = MatchAt(text, at, pattern)) {
            return match;
        }
    }
    return std::nullopt;
}

// The last match that ends at or before byte `limit`.
std::optional<Match> FindLast(std::string_view text, const Folded& pattern, std::size_t limit) {
    const std::string_view head = text.substr(0, limit);
    std::optional<Match> last;
    for (auto match = FindFirst(head, pattern, 0); match;) {
        last = match;
        std::size_t next = match->begin;
        NextFolded(head, next);
        match = FindFirst(head, pattern, next);
    }
    return last;
}

}  // namespace

std::optional<std::string> extractBetweenPattern(std::string_view text, std::string_view start,
                                                 std::string_view end) {
    const auto opening = FindFirst(text, Fold(start), 0);
    if (!opening) {
        return std::nullopt;
    }
    const auto closing = FindFirst(text, Fold(end), opening->end);
    if (!closing) {
        return std::nullopt;
    }
    return std::string(text.substr(opening->end, closing->begin - opening->end));
}

std::optional<std::string> reverseExtractBetweenPattern(std::string_view text,
                                                        std::string_view start,
                                                        std::string_view end) {
    const auto closing = FindFirst(text, Fold(end), 0);
    if (!closing) {
        return std::nullopt;
    }
    const auto opening = FindLast(text, Fold(start), closing->begin);
    if (!opening) {
        return std::nullopt;
    }
    return std::string(text.substr(opening->end, closing->begin - opening->end));
}

std::string cleanForFilename(std::string_view text) {
    std::string clean(text);
    for (char& c : clean) {
        if (c == '/' || c == ':') {
            c = '-';
        }
    }
    return clean;
}

std::optional<std::string> runScript(std::string_view /*source*/) {
    return std::nullopt;
}

}  // namespace netinfo
