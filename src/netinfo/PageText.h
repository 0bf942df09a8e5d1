#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace netinfo {

// Appends data to body unless that would take it past maxBytes (false, body
// unchanged). The buffer grows by doubling but never beyond maxBytes, so a
// body at the cap holds no more than the cap.
bool AppendCapped(std::string& body, std::string_view data, std::size_t maxBytes);

// A page's bytes as UTF-8 text: kept as they are (moved, not copied) when
// they already are UTF-8, otherwise read as Mac OS Roman into a buffer of
// exactly the decoded size, measured first. Nothing when the text would
// exceed maxBytes:
// a page is a small text. At most the bytes and the text are held at once,
// so memory stays under twice maxBytes.
std::optional<std::string> PageText(std::string&& bytes, std::size_t maxBytes);

}  // namespace netinfo
