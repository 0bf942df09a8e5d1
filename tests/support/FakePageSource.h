#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "controller/AppControllerServices.h"

namespace testing_support {

// Stands in for the page fetch: every fetch answers, posted on the loop, the
// page set last for its URL, else the page set last for all, or nothing (as
// an unreachable service does), and is written down. While hanging, fetches
// get no answer until release().
class FakePageSource {
public:
    void answer(std::optional<std::string> page) { page_ = std::move(page); }
    void answerAt(const std::string& url, std::optional<std::string> page) {
        byURL_[url] = std::move(page);
    }
    // A lookup page in the service's usual form stating the address.
    void answerAddress(const std::string& address) {
        page_ = "<html><head><title>Current IP Check</title></head><body>Current IP Address: " +
                address + "</body></html>";
    }

    void hang() { hanging_ = true; }
    // Answers the fetches held so far as it now would.
    void release() {
        hanging_ = false;
        for (auto& [url, done] : std::exchange(held_, {})) {
            done(pageFor(url));
        }
    }

    const std::vector<std::string>& fetchedURLs() const { return fetched_; }

    void wireInto(controller::AppControllerServices& services, platform::RunLoop& loop) {
        services.fetchPage = [this, &loop](const std::string& url,
                                           controller::AppControllerServices::TextDone done) {
            fetched_.push_back(url);
            if (hanging_) {
                held_.emplace_back(url, std::move(done));
                return;
            }
            loop.post([done = std::move(done), page = pageFor(url)] { done(page); });
        };
    }

private:
    std::optional<std::string> pageFor(const std::string& url) const {
        const auto own = byURL_.find(url);
        return own != byURL_.end() ? own->second : page_;
    }

    bool hanging_ = false;
    std::vector<std::pair<std::string, controller::AppControllerServices::TextDone>> held_;
    std::optional<std::string> page_;
    std::map<std::string, std::optional<std::string>> byURL_;
    std::vector<std::string> fetched_;
};

}  // namespace testing_support
