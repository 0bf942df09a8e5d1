#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "controller/AppControllerServices.h"

namespace testing_support {

// Stands in for the page fetch: every fetch answers the page set last for its
// URL, else the page set last for all, or nothing (as an unreachable service
// does), and is written down.
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

    const std::vector<std::string>& fetchedURLs() const { return fetched_; }

    void wireInto(controller::AppControllerServices& services) {
        services.downloadURL = [this](std::string_view url, const netinfo::FetchCancel&) {
            fetched_.emplace_back(url);
            const auto own = byURL_.find(std::string(url));
            return own != byURL_.end() ? own->second : page_;
        };
    }

private:
    std::optional<std::string> page_;
    std::map<std::string, std::optional<std::string>> byURL_;
    std::vector<std::string> fetched_;
};

}  // namespace testing_support
