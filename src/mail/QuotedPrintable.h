#pragma once

#include <string>
#include <string_view>

namespace mail {

// text (lines ending in CRLF) in the quoted-printable transfer encoding:
// bytes beyond ASCII, control characters, "=" and blanks at a line's end
// become "=XX", and lines are cut with soft breaks to stay within 76
// characters. Every server accepts it, whatever the body holds.
std::string QuotedPrintable(std::string_view text);

}  // namespace mail
