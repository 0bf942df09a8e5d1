#include "transfer/CancellablePerform.h"

#include <algorithm>

#include "transfer/CurlHandles.h"

namespace transfer {

// Keeps easy on multi, and multi known to the token and its parents, for
// one scope; libcurl wants easy off before either handle goes.
class WaitingTransfer {
public:
    WaitingTransfer(CURLM* multi, CURL* easy, const CancelToken& token)
        : multi_(multi),
          easy_(easy),
          token_(token),
          ok_(curl_multi_add_handle(multi, easy) == CURLM_OK) {
        for (const CancelToken* t = &token_; t != nullptr; t = t->parent_) {
            std::lock_guard lock(t->mutex_);
            t->waiting_.push_back(multi_);
        }
    }
    ~WaitingTransfer() {
        for (const CancelToken* t = &token_; t != nullptr; t = t->parent_) {
            std::lock_guard lock(t->mutex_);
            std::erase(t->waiting_, multi_);
        }
        if (ok_) {
            curl_multi_remove_handle(multi_, easy_);
        }
    }
    WaitingTransfer(const WaitingTransfer&) = delete;
    WaitingTransfer& operator=(const WaitingTransfer&) = delete;
    bool ok() const { return ok_; }

private:
    CURLM* multi_;
    CURL* easy_;
    const CancelToken& token_;
    bool ok_;
};

void CancelToken::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_.store(true);
    // A wake-up that comes before the transfer's next wait ends that wait.
    for (void* multi : waiting_) {
        curl_multi_wakeup(static_cast<CURLM*>(multi));
    }
}

namespace {

// The longest single wait; libcurl shortens it to its own next deadline.
constexpr int kLongestWaitMs = 1000;

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

CURLcode PerformUnlessCancelled(CURL* easy, const CancelToken& cancel) {
    const MultiHandle multi = NewMultiHandle();
    if (!multi) {
        return CURLE_FAILED_INIT;
    }
    const WaitingTransfer transfer(multi.get(), easy, cancel);
    if (!transfer.ok()) {
        return CURLE_FAILED_INIT;
    }
    for (int running = 1; running > 0;) {
        if (cancel.cancelled()) {
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK ||
            (running > 0 &&
             curl_multi_poll(multi.get(), nullptr, 0, kLongestWaitMs, nullptr) != CURLM_OK)) {
            return CURLE_FAILED_INIT;
        }
    }
    return Result(multi.get(), easy);
}

}  // namespace transfer
