#pragma once

#include <atomic>

namespace netinfo {

// Set from any thread when the program starts ending: page fetches that
// watch it end at once and answer nothing, and none starts afterwards. It
// stays set.
class FetchCancel {
public:
    void cancel() noexcept { cancelled_.store(true); }
    bool cancelled() const noexcept { return cancelled_.load(); }
    const std::atomic<bool>& flag() const noexcept { return cancelled_; }

private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace netinfo
