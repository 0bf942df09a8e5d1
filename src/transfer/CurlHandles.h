#pragma once

#include <curl/curl.h>

#include <memory>

// libcurl's handles owned the C++ way, and its one-time global set-up, for
// every layer that makes transfers (the page fetch, the mail client).
namespace transfer {

struct CurlDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, CurlDeleter>;
// CURLM is void like CURL, so it needs a deleter of its own.
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using UrlHandle = std::unique_ptr<CURLU, CurlDeleter>;
using StringList = std::unique_ptr<curl_slist, CurlDeleter>;

// A new easy handle (empty when libcurl could make none). The first call in
// the process sets libcurl up; that loads the TLS library and takes
// milliseconds, so make it on a worker rather than on a run loop.
EasyHandle NewEasyHandle();

// A new multi handle, empty when libcurl could make none.
MultiHandle NewMultiHandle();

// A new URL handle, empty when libcurl could make none.
UrlHandle NewUrlHandle();

// Appends text to list, keeping the list when libcurl could not add it.
// False when it could not.
bool Append(StringList& list, const char* text);

}  // namespace transfer
