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

// Text handed over as bytes of an older 8-bit convention (Pascal-string
// keys): kept when it already is UTF-8, otherwise read as Mac OS Roman.
std::string DecodeLegacyText(std::string_view bytes);

}  // namespace platform
