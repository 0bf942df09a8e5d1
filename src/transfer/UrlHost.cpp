#include "transfer/UrlHost.h"

#include <curl/curl.h>

#include "transfer/CurlHandles.h"

namespace transfer {
namespace {

// One part of a parsed URL; nothing when the URL lacks it.
std::optional<std::string> Part(CURLU* url, CURLUPart which) {
    char* text = nullptr;
    if (curl_url_get(url, which, &text, 0) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    std::string part(text);
    curl_free(text);
    return part;
}

}  // namespace

std::optional<std::string> UrlHost(std::string_view url) {
    const UrlHandle parsed = NewUrlHandle();
    const std::string text(url);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    std::optional<std::string> host = Part(parsed.get(), CURLUPART_HOST);
    if (!host || host->empty()) {
        return std::nullopt;
    }
    // Only a port the URL spells out: libcurl fills in no scheme default here.
    if (const auto port = Part(parsed.get(), CURLUPART_PORT)) {
        *host += ":" + *port;
    }
    return host;
}

}  // namespace transfer
