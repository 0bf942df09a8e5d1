#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/RunLoop.h"

namespace netinfo {

// Names an IPv4 address (dotted quad); nothing when it has no name. May
// block for as long as the system resolver likes.
using ReverseResolver = std::function<std::optional<std::string>(const std::string& address)>;
std::optional<std::string> ResolveWithSystemResolver(const std::string& address);

struct HostNameLookupOptions {
    std::chrono::milliseconds deadline{1000};
    std::chrono::seconds lifetime{300};
    std::size_t maxWorkers = 4;  // look-ups still running at once
};

// Reverse look-ups that never keep the caller waiting for long. glibc can
// block for 10-20 s when no name server answers, so each look-up runs on a
// worker of its own and the caller waits only until the deadline. A worker
// that outlives it finishes into state it shares with the cache, so it may
// end after the cache is gone, and its answer still serves the next call.
// Answers (names and "no name" alike) are kept for a while.
class HostNameCache {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Options = HostNameLookupOptions;

    explicit HostNameCache(ReverseResolver resolver = ResolveWithSystemResolver,
                           Options options = {}, Clock clock = nullptr);
    ~HostNameCache();
    HostNameCache(const HostNameCache&) = delete;
    HostNameCache& operator=(const HostNameCache&) = delete;

    // The address's name; nothing when it has none, is not a dotted quad,
    // or no answer came before the deadline. One thread at a time.
    std::optional<std::string> nameFor(const std::string& address);

    // The same answer without waiting: done runs on loop (never inside this
    // call) with the name, or nothing, no later than the deadline. Loop
    // thread only; nothing is delivered once the cache is gone.
    using NameDone = std::function<void(std::optional<std::string> name)>;
    void nameFor(const std::string& address, platform::RunLoop& loop, NameDone done);

private:
    struct Job;
    struct Answer {
        std::optional<std::string> name;
        std::chrono::steady_clock::time_point expires;
    };

    std::optional<std::string> await(const std::string& address, const std::shared_ptr<Job>& job);
    void collectFinished();
    void remember(const std::string& address, std::optional<std::string> name);

    std::shared_ptr<ReverseResolver> resolver_;
    Options options_;
    Clock clock_;
    std::map<std::string, Answer> answers_;
    std::map<std::string, std::shared_ptr<Job>> running_;
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

// The host name of a dotted-quad address, or "Unknown host" when none comes
// back within about a second. Answers are cached for the whole process.
std::string Inet_HostName(const char* address);

}  // namespace netinfo
