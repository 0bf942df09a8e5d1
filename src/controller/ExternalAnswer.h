#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace controller {

// The address a lookup page states: the text between "Current IP Address: "
// and "</body></html>" (markers in any case), trimmed of blanks. Only a
// dotted-quad IPv4 address is taken; any other text counts as no answer, so
// a page cannot put arbitrary text into the settings, the log or e-mails.
// A page without the start marker may be the bare address alone (blanks
// around it allowed), as services that answer in plain text send it.
std::optional<std::string> AddressFromLookupPage(std::string_view page);

// The lookup services' URLs in the order given, from a setting that lists
// them separated by blanks.
std::vector<std::string> LookupURLs(std::string_view setting);

// Whether two addresses are the same ignoring letter case.
bool SameAddressIgnoringCase(std::string_view a, std::string_view b);

}  // namespace controller
