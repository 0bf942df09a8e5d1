#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace transfer {

// The host of a URL as libcurl reads it, with ":port" when the URL names one
// ("http://127.0.0.1:8080/ip" gives "127.0.0.1:8080"). Nothing when libcurl
// cannot take the URL apart or it names no host.
std::optional<std::string> UrlHost(std::string_view url);

}  // namespace transfer
