#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace netinfo {

// Text tools for cutting values out of pages and reports. Markers are
// matched ignoring case (Unicode simple case folding) and are never part of
// the result; an empty marker is never found.

// The text after the first `start` up to the first `end` after it.
std::optional<std::string> extractBetweenPattern(std::string_view text, std::string_view start,
                                                 std::string_view end);

// The text between the first `end` and the last `start` before it.
std::optional<std::string> reverseExtractBetweenPattern(std::string_view text,
                                                        std::string_view start,
                                                        std::string_view end);

// The text with every "/" and ":" turned into "-".
std::string cleanForFilename(std::string_view text);

// There is no script runner on Linux: every script gives nothing.
std::optional<std::string> runScript(std::string_view source);

}  // namespace netinfo
