#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The system encoding is UTF-8 here.

// The longest prefix of text that fits in maxBytes without splitting a
// character (a malformed byte counts as one character).
std::string_view CutToCharacterBoundary(std::string_view text, std::size_t maxBytes);

bool IsValidUtf8(std::string_view text);

// Bytes of unknown encoding (a web page, a report file, a Pascal-string key)
// as UTF-8 text: kept when they already are UTF-8, otherwise read as Mac OS
// Roman, which gives every byte a character, so no text is ever refused.
std::string DecodeLegacyText(std::string_view bytes);

}  // namespace platform
