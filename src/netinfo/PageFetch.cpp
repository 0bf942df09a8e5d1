#include "netinfo/PageFetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "foundation/Utf8.h"
#include "platform/SystemLog.h"

namespace {

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using Headers = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

constexpr long kMaxRedirects = 5;
constexpr long kConnectTimeoutMs = 10'000;

struct Body {
    std::string bytes;
    std::size_t limit;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* body = static_cast<Body*>(user);
    const std::size_t n = size * count;
    if (n > body->limit - body->bytes.size()) {
        return 0;  // aborts the transfer: too large to be a page
    }
    body->bytes.append(data, n);
    return n;
}

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsWebURL(std::string_view url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
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

// One GET; the body when the transfer completed, whatever the status.
std::optional<std::string> Get(const std::string& url, std::chrono::milliseconds timeout,
                               std::size_t maxBody, bool asBrowser) {
    Easy easy(curl_easy_init(), curl_easy_cleanup);
    if (!easy) {
        return std::nullopt;
    }
    Body body{{}, maxBody};
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
    Headers headers(nullptr, curl_slist_free_all);
    if (asBrowser) {
        // The literal behind kFetchUserAgent ends in a NUL.
        curl_easy_setopt(e, CURLOPT_USERAGENT, netinfo::kFetchUserAgent.data());
        curl_slist* list = curl_slist_append(nullptr, "Cache-Control: no-cache");
        headers.reset(list);
        if (list && curl_slist_append(list, "Pragma: no-cache")) {
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, list);
        }
    }
    if (curl_easy_perform(e) != CURLE_OK) {
        return std::nullopt;
    }
    return std::move(body.bytes);
}

}  // namespace

std::optional<std::string> DownloadURL(std::string_view url, const netinfo::FetchLimits& limits) {
    platform::WriteToSystemLog("Downloading URL: " + std::string(url));
    InitialiseCurlOnce();
    if (!IsWebURL(url)) {
        return std::nullopt;
    }
    const std::string text(url);
    auto bytes = Get(text, limits.firstAttemptTimeout, limits.maxBodyBytes, false);
    if (!bytes) {
        bytes = Get(text, limits.secondAttemptTimeout, limits.maxBodyBytes, true);
    }
    if (!bytes) {
        return std::nullopt;
    }
    return foundation::DecodeLegacyText(*bytes);
}
