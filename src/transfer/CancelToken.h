#pragma once

#include <atomic>
#include <mutex>
#include <vector>

namespace transfer {

// Cancels transfers from another thread: once cancelled, every transfer
// that watches it ends at once, wherever it waits, and none starts. It stays
// cancelled. A token made from a parent is cancelled with it too, so one
// owner can end its own transfers without ending everybody's.
class CancelToken {
public:
    CancelToken() = default;
    // parent must outlive this token.
    explicit CancelToken(const CancelToken* parent) : parent_(parent) {}
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    void cancel();  // any thread
    bool cancelled() const noexcept {
        return cancelled_.load() || (parent_ != nullptr && parent_->cancelled());
    }

private:
    friend class WaitingTransfer;

    const CancelToken* const parent_ = nullptr;
    std::atomic<bool> cancelled_{false};
    // The transfers waiting now, woken by cancel(); the token is logically
    // const to the transfers that watch it.
    mutable std::mutex mutex_;
    mutable std::vector<void*> waiting_;  // CURLM*, kept opaque to callers
};

}  // namespace transfer
