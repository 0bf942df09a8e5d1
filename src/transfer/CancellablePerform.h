#pragma once

#include <curl/curl.h>

#include "transfer/CancelToken.h"

namespace transfer {

// curl_easy_perform that cancel can cut short, whether it is resolving the
// name, connecting or waiting for an answer: CURLE_ABORTED_BY_CALLBACK. A
// token already cancelled ends it before it connects. The caller keeps the
// easy handle; its options (time-outs, error buffer) apply as they would to
// curl_easy_perform.
CURLcode PerformUnlessCancelled(CURL* easy, const CancelToken& cancel);

}  // namespace transfer
