#include "netinfo/PageFetch.h"

#include <algorithm>

#include "netinfo/PageText.h"
#include "platform/SystemLog.h"
#include "transfer/CancellablePerform.h"
#include "transfer/CurlHandles.h"

namespace netinfo {

namespace {

constexpr long kMaxRedirects = 5;
constexpr long kConnectTimeoutMs = 10'000;

struct Body {
    std::string bytes;
    std::size_t limit;
    bool tooLarge = false;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* body = static_cast<Body*>(user);
    const std::size_t n = size * count;
    // Returning less aborts the transfer: too large to be a page.
    body->tooLarge = !AppendCapped(body->bytes, {data, n}, body->limit);
    return body->tooLarge ? 0 : n;
}

bool IsWebURL(std::string_view url) {
    const transfer::UrlHandle parsed = transfer::NewUrlHandle();
    const std::string text(url);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* scheme = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) {
        return false;
    }
    const std::string_view s(scheme);
    const bool web = s == "http" || s == "https";
    curl_free(scheme);
    return web;
}

std::string TooLarge(std::size_t maxBody) {
    return "the page is larger than " + std::to_string(maxBody) + " bytes";
}

bool Cancelled(const FetchLimits& limits) {
    return limits.cancel != nullptr && limits.cancel->cancelled();
}

CURLcode Perform(CURL* easy, const FetchCancel* cancel) {
    return cancel ? transfer::PerformUnlessCancelled(easy, *cancel) : curl_easy_perform(easy);
}

// A service that answers 403 or 429 refuses to serve us (at all, or not
// this often); asking again as a browser would only add to what it objects to.
bool Refused(long status) {
    return status == 403 || status == 429;
}

// What one GET gave: the body only for a completed transfer with a 2xx
// final status (after redirects), else why not.
struct Attempt {
    std::optional<std::string> bytes;
    long status = 0;  // 0 when no reply came
    std::string reason;
};

Attempt Get(const std::string& url, std::chrono::milliseconds timeout, const FetchLimits& limits,
            bool asBrowser) {
    Attempt attempt;
    std::string& reason = attempt.reason;
    const std::size_t maxBody = limits.maxBodyBytes;
    const transfer::EasyHandle easy = transfer::NewEasyHandle();
    if (!easy) {
        reason = "no transfer could be set up";
        return attempt;
    }
    Body body{{}, maxBody};
    char error[CURL_ERROR_SIZE] = {};
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     std::min<long>(kConnectTimeoutMs, timeout.count()));
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBody));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, error);
    transfer::StringList headers;
    if (asBrowser) {
        // The literal behind kFetchUserAgent ends in a NUL.
        curl_easy_setopt(e, CURLOPT_USERAGENT, kFetchUserAgent.data());
        if (transfer::Append(headers, "Cache-Control: no-cache") &&
            transfer::Append(headers, "Pragma: no-cache")) {
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
        }
    }
    if (const CURLcode result = Perform(e, limits.cancel); result != CURLE_OK) {
        const bool tooLarge = body.tooLarge || result == CURLE_FILESIZE_EXCEEDED;
        reason = tooLarge ? TooLarge(maxBody) : error[0] ? error : curl_easy_strerror(result);
        return attempt;
    }
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &attempt.status);
    if (attempt.status < 200 || attempt.status > 299) {
        // An error page is no answer, however much it looks like one.
        reason = "HTTP " + std::to_string(attempt.status);
        return attempt;
    }
    attempt.bytes = std::move(body.bytes);
    return attempt;
}

}  // namespace

std::optional<std::string> DownloadURL(std::string_view url, const FetchLimits& limits) {
    if (Cancelled(limits)) {
        return std::nullopt;  // the program is ending: no new fetch
    }
    platform::WriteToSystemLog("Downloading URL: " + std::string(url));
    const std::string text(url);
    const auto failed = [&text](const std::string& reason) {
        platform::WriteToSystemLog("Download of " + text + " failed: " + reason + ".");
        return std::nullopt;
    };
    if (!IsWebURL(url)) {
        return failed("not an http or https URL");
    }
    Attempt attempt = Get(text, limits.firstAttemptTimeout, limits, false);
    if (!attempt.bytes && !Refused(attempt.status) && !Cancelled(limits)) {
        attempt = Get(text, limits.secondAttemptTimeout, limits, true);
    }
    if (!attempt.bytes && Cancelled(limits)) {
        // Cut short, not failed: the service may well be fine.
        platform::WriteToSystemLog("Download of " + text + " cancelled: the program is ending.");
        return std::nullopt;
    }
    if (Refused(attempt.status)) {
        platform::WriteToSystemLog("Download of " + text +
                                   " refused by the service: " + attempt.reason + ".");
        return std::nullopt;
    }
    if (!attempt.bytes) {
        return failed(attempt.reason);
    }
    std::optional<std::string> page = PageText(std::move(*attempt.bytes), limits.maxBodyBytes);
    if (!page) {
        return failed("its text is larger than " + std::to_string(limits.maxBodyBytes) + " bytes");
    }
    return page;
}

}  // namespace netinfo
