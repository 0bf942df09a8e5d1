#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// The text of a settings file: how it is read and how it is written. The two
// agree on every limit, so a file this program writes always reads back.
namespace settings {

// Far beyond any real settings file; a larger one is not read, so none is written.
inline constexpr std::size_t kMaxSettingsFileSize = 4 * 1024 * 1024;
// How deep an entry's value may nest (an entry the store does not read, kept
// for other programs); a deeper one is left out when the file is read.
inline constexpr int kMaxEntryNesting = 32;

struct SettingsText {
    nlohmann::json object;
    // What reading changed, in words for the system log.
    std::vector<std::string> notes;
};

// The JSON object a file's text holds, or nothing when the text is not one.
// A string that is not UTF-8 is read as Mac OS Roman, and an entry nested
// deeper than kMaxEntryNesting is left out.
std::optional<SettingsText> ParseSettingsText(std::string_view text);

// The text that stores object: one entry per line, each value compact, so the
// indentation never grows with nesting. Nothing, with problem set, when the
// text could not be read back (too large, or text that is not UTF-8).
std::optional<std::string> SettingsTextOf(const nlohmann::json& object, std::string& problem);

}  // namespace settings
