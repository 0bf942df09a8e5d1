#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// text on one line, for a log: line breaks, tabs and every other control
// character are written as escapes ("\n", "\r", "\t", "\x1b", "\u0085",
// "\u2028"), so outside text can neither split an entry nor forge one. The
// rest, backslashes included, is kept. The result holds at most maxBytes,
// cut between characters and never inside an escape.
std::string EscapeControlCharacters(std::string_view text,
                                    std::size_t maxBytes = std::string::npos);

}  // namespace base
