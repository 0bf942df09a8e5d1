#include "netinfo/BackgroundPageFetch.h"

#include <utility>

namespace netinfo {

BackgroundPageFetch::BackgroundPageFetch(platform::RunLoop& loop,
                                         std::shared_ptr<FetchCancel> cancel)
    : loop_(loop), cancel_(std::move(cancel)) {}

BackgroundPageFetch::~BackgroundPageFetch() {
    own_.cancel();
    if (worker_.joinable()) {
        worker_.join();
    }
    // alive_ goes with us: an answer posted meanwhile finds it gone.
}

void BackgroundPageFetch::start(std::string url, Done done, FetchLimits limits) {
    if (worker_.joinable()) {
        worker_.join();  // the previous fetch has posted its answer: its end is near
    }
    limits.cancel = &own_;
    // The worker needs neither this object nor the loop beyond the post: the
    // destructor joins it, and the loop outlives us.
    worker_ = std::thread([&loop = loop_, alive = std::weak_ptr(alive_), url = std::move(url),
                           done = std::move(done), limits]() mutable {
        auto page = DownloadURL(url, limits);
        loop.post([alive, done = std::move(done), page = std::move(page)] {
            if (!alive.expired()) {
                done(page);
            }
        });
    });
}

}  // namespace netinfo
