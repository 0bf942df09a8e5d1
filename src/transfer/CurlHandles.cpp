#include "transfer/CurlHandles.h"

#include <mutex>

namespace transfer {
namespace {

void InitialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

EasyHandle NewEasyHandle() {
    InitialiseOnce();
    return EasyHandle(curl_easy_init());
}

MultiHandle NewMultiHandle() {
    InitialiseOnce();
    return MultiHandle(curl_multi_init());
}

UrlHandle NewUrlHandle() {
    InitialiseOnce();
    return UrlHandle(curl_url());
}

bool Append(StringList& list, const char* text) {
    curl_slist* longer = curl_slist_append(list.get(), text);
    if (longer == nullptr) {
        return false;
    }
    list.release();  // now the head of longer, whether or not it moved
    list.reset(longer);
    return true;
}

}  // namespace transfer
