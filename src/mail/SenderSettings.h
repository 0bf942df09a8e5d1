#pragma once

#include <optional>
#include <string>

#include "settings/Preferences.h"

namespace mail {

// A stored value read as a whole number the way the settings window writes
// them: numbers as they are, strings by their leading digits (after blanks
// and an optional sign), booleans as 0 or 1. Nothing when no digits lead.
std::optional<long long> IntValueOf(const settings::Value& value);

// The SMTP port a "Port" entry names: 25 when there is none, otherwise its
// whole-number value, which must lie in 1-65535.
std::optional<long> PortFromSetting(const std::optional<settings::Value>& value);

// A stored value as text for a log line.
std::string DescribeValue(const settings::Value& value);

// A string entry, or nothing when absent, empty or of another type.
std::optional<std::string> NonEmptyString(const std::optional<settings::Value>& value);

}  // namespace mail
