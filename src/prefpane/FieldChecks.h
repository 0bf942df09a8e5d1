#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the preferences window accepts in its typed fields. Each check
// answers nothing for good input and otherwise the message shown beside the
// field; such input is not stored.
namespace prefpane {

// A port from 1 to 65535, digits only (blanks around them allowed).
std::optional<std::string> PortProblem(std::string_view text);

// A whole number of minutes that fits the stored 16-bit value.
std::optional<std::int16_t> ParseInterval(std::string_view text);
std::optional<std::string> IntervalProblem(std::string_view text);

// Recipients separated by ","; empty pieces are skipped, every other piece
// must be a plain address (local@domain). An empty field is fine.
std::optional<std::string> RecipientsProblem(std::string_view text);

}  // namespace prefpane
