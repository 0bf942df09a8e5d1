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

// One GET; the body when the transfer completed, whatever the status, else
// nothing and why.
std::optional<std::string> Get(const std::string& url, std::chrono::milliseconds timeout,
                               const FetchLimits& limits, bool asBrowser, std::string& reason) {
    const std::size_t maxBody = limits.maxBodyBytes;
    const transfer::EasyHandle easy = transfer::NewEasyHandle();
    if (!easy) {
        reason = "no transfer could be set up";
        return std::nullopt;
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
        return std::nullopt;
    }
    return std::move(body.bytes);
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
    std::string reason;
    auto bytes = Get(text, limits.firstAttemptTimeout, limits, false, reason);
    if (!bytes && !Cancelled(limits)) {
        bytes = Get(text, limits.secondAttemptTimeout, limits, true, reason);
    }
    if (!bytes && Cancelled(limits)) {
        // Cut short, not failed: the service may well be fine.
        platform::WriteToSystemLog("Download of " + text + " cancelled: the program is ending.");
        return std::nullopt;
    }
    if (!bytes) {
        return failed(reason);
    }
    std::optional<std::string> page = PageText(std::move(*bytes), limits.maxBodyBytes);
    if (!page) {
        return failed("its text is larger than " + std::to_string(limits.maxBodyBytes) + " bytes");
    }
    return page;
}

}  // namespace netinfo
