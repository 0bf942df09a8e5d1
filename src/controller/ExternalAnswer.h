#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace controller {

// The address a lookup page states: the text between "Current IP Address: "
// and "</body></html>" (markers in any case), trimmed of blanks. Only a
// dotted-quad IPv4 address is taken; any other text counts as no answer, so
// a page cannot put arbitrary text into the settings, the log or e-mails.
std::optional<std::string> AddressFromLookupPage(std::string_view page);

// Whether two addresses are the same ignoring letter case.
bool SameAddressIgnoringCase(std::string_view a, std::string_view b);

}  // namespace controller
