#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "netinfo/FetchCancel.h"

namespace netinfo {

// Bounds of one page fetch. A page is a small text, so anything larger
// than maxBodyBytes is refused rather than held in memory. A fetch also
// ends, answering nothing, once cancel (when given) is cancelled.
struct FetchLimits {
    std::chrono::milliseconds firstAttemptTimeout{10'000};
    std::chrono::milliseconds secondAttemptTimeout{30'000};
    std::size_t maxBodyBytes = 4 * 1024 * 1024;
    const FetchCancel* cancel = nullptr;
};

// The User-Agent text of the second attempt.
inline constexpr std::string_view kFetchUserAgent =
    "Mozilla/5.0 (Macintosh; U; Intel Mac OS X 10_6_6; en-us) AppleWebKit/533.20.25 (KHTML, like "
    "Gecko) Version/5.0.4 Safari/533.20.27";

// Fetches an http or https page and returns its text, blocking the caller.
// A plain GET comes first; when it gives nothing, one more GET with the
// browser's User-Agent and no caching. Only a 2xx final status (after
// redirects) gives a page: an error page is no answer. 403 and 429 mean the
// service refuses us, so no second attempt is made and the system log says
// it was refused. Bytes that are not UTF-8 are read as Mac OS Roman.
// Nothing on an invalid URL, no connection, a time-out, a body or text
// larger than limits.maxBodyBytes, a status outside 2xx, or a cancelled
// fetch; a cancelled one makes no further attempt.
std::optional<std::string> DownloadURL(std::string_view url, const FetchLimits& limits = {});

}  // namespace netinfo
