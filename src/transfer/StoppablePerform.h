#pragma once

#include <curl/curl.h>

#include <atomic>

namespace transfer {

// curl_easy_perform that another thread can cut short: once stop is set, the
// transfer ends within a twentieth of a second, whether it is resolving the
// name, connecting or waiting for an answer, with CURLE_ABORTED_BY_CALLBACK.
// A stop already set ends it before it connects. The caller keeps the easy
// handle; its options (time-outs, error buffer) apply as they would to
// curl_easy_perform.
CURLcode PerformUnlessStopped(CURL* easy, const std::atomic<bool>& stop);

}  // namespace transfer
