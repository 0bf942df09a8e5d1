#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "settings/Preferences.h"

// How a stored value reads as a boolean or a whole number. Every reader of
// the settings converts through these, so a value means the same everywhere.
namespace settings {

// Read as the user defaults read a boolean: a boolean as stored, a number
// when it is not zero, a string when it starts (after blanks, then an
// optional sign and zeros) with "Y", "T" (either case) or a digit 1-9.
bool BoolOf(const Value& value);

// The whole number a string starts with, after blanks and an optional sign;
// saturated at the limits. Nothing when no digit comes first.
std::optional<std::int64_t> LeadingInteger(std::string_view text);

// Read loosely as a whole number: a boolean as 0 or 1, a real truncated and
// saturated, a string by LeadingInteger. Nothing for a string without
// leading digits or a real that is not a number.
std::optional<std::int64_t> IntegerOf(const Value& value);

// A stored number (whole or real, truncated and saturated) as a whole
// number; nothing for a boolean, a string or a real that is not a number.
std::optional<std::int64_t> NumberOf(const Value& value);

}  // namespace settings
