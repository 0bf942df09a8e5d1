#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The program's text is UTF-8. These are its only routines that look at the
// encoding itself; everything else goes through them.
namespace base {

bool IsValidUtf8(std::string_view text);

// The longest prefix of text that fits in maxBytes without splitting a
// character (a malformed byte counts as one character).
std::string_view CutToCharacterBoundary(std::string_view text, std::size_t maxBytes);

// Bytes of unknown encoding (a web page, a report file, a stored setting) as
// UTF-8 text: kept when they already are UTF-8, otherwise read as Mac OS
// Roman, which gives every byte a character, so no text is ever refused.
// The result is allocated once, at its exact size.
std::string DecodeLegacyText(std::string_view bytes);

}  // namespace base
