#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "netinfo/FetchCancel.h"
#include "netinfo/PageFetch.h"
#include "platform/RunLoop.h"

namespace netinfo {

// Page fetches that never hold up the loop that asks for them: DownloadURL
// runs on a worker thread and its answer is delivered on the loop. The
// owner's destruction cancels the fetch in progress (not the shared token)
// and waits for it to end, which the cancel makes prompt; no answer is
// delivered after that, not even one already posted.
class BackgroundPageFetch {
public:
    using Done = std::function<void(std::optional<std::string> page)>;

    // cancel: shared with whoever ends the program; once cancelled, the
    // fetch in progress ends and none starts. loop must outlive this object.
    BackgroundPageFetch(platform::RunLoop& loop, std::shared_ptr<FetchCancel> cancel);
    ~BackgroundPageFetch();  // loop thread
    BackgroundPageFetch(const BackgroundPageFetch&) = delete;
    BackgroundPageFetch& operator=(const BackgroundPageFetch&) = delete;

    // Loop thread. Starts fetching url and returns at once; done runs on the
    // loop with the page, or nothing (as DownloadURL answers). One fetch at
    // a time: the caller starts the next one after done has run.
    // limits.cancel is replaced by this object's own token.
    void start(std::string url, Done done, FetchLimits limits = {});

private:
    platform::RunLoop& loop_;
    std::shared_ptr<FetchCancel> cancel_;
    FetchCancel own_{cancel_.get()};  // cancelled by the destructor alone
    std::thread worker_;
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace netinfo
