#include "transfer/StoppablePerform.h"

#include "transfer/CurlHandles.h"

namespace transfer {

namespace {

// The longest wait on the transfer's sockets before stop is looked at again.
// libcurl's own progress callback comes only once a second while a server
// is silent, too late for a program that is quitting.
constexpr int kStopCheckMs = 50;

// Keeps easy on multi for one scope; libcurl wants it off before either goes.
class Attached {
public:
    Attached(CURLM* multi, CURL* easy)
        : multi_(multi), easy_(easy), ok_(curl_multi_add_handle(multi, easy) == CURLM_OK) {}
    ~Attached() {
        if (ok_) {
            curl_multi_remove_handle(multi_, easy_);
        }
    }
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;
    bool ok() const { return ok_; }

private:
    CURLM* multi_;
    CURL* easy_;
    bool ok_;
};

CURLcode Result(CURLM* multi, CURL* easy) {
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
            return message->data.result;
        }
    }
    return CURLE_FAILED_INIT;
}

}  // namespace

CURLcode PerformUnlessStopped(CURL* easy, const std::atomic<bool>& stop) {
    const MultiHandle multi = NewMultiHandle();
    if (!multi) {
        return CURLE_FAILED_INIT;
    }
    const Attached attached(multi.get(), easy);
    if (!attached.ok()) {
        return CURLE_FAILED_INIT;
    }
    for (int running = 1; running > 0;) {
        if (stop.load()) {
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK ||
            (running > 0 &&
             curl_multi_poll(multi.get(), nullptr, 0, kStopCheckMs, nullptr) != CURLM_OK)) {
            return CURLE_FAILED_INIT;
        }
    }
    return Result(multi.get(), easy);
}

}  // namespace transfer
