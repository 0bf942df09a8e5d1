#include "netinfo/BackgroundPageFetch.h"

#include <utility>

namespace netinfo {

BackgroundPageFetch::BackgroundPageFetch(platform::RunLoop& loop,
                                         std::shared_ptr<FetchCancel> cancel)
    : loop_(loop), cancel_(std::move(cancel)) {}

BackgroundPageFetch::~BackgroundPageFetch() = default;

// Placeholder: fetches on the loop itself until the worker lands.
void BackgroundPageFetch::start(std::string url, Done done, FetchLimits limits) {
    std::weak_ptr<const bool> alive = alive_;
    loop_.post([this, alive, url = std::move(url), done = std::move(done), limits]() mutable {
        if (!alive.lock()) {
            return;
        }
        limits.cancel = cancel_.get();
        done(DownloadURL(url, limits));
    });
}

}  // namespace netinfo
