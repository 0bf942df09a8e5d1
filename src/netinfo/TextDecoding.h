#pragma once

#include <string>
#include <string_view>

namespace netinfo {

bool IsValidUTF8(std::string_view bytes);

// Bytes from outside (a web page, a report file) as UTF-8 text: taken as
// they are when they are valid UTF-8, otherwise read as Mac OS Roman, which
// gives every byte a character, so no text is ever refused.
std::string DecodeUTF8OrMacRoman(std::string_view bytes);

}  // namespace netinfo
