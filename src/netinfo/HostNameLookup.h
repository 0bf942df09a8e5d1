#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
// block for 10-20 s when no name server answers, and getnameinfo cannot be
// cut short, so each look-up runs on a worker of its own (at most
// maxWorkers at once) and the caller hears no later than the deadline. A
// worker that outlives its caller, the cache or even the loop finishes into
// state it shares with the cache (never the cache itself), and its answer
// still serves the next call while the cache lives. Answers (names and
// "no name" alike) are kept for a while.
class HostNameCache {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Options = HostNameLookupOptions;

    explicit HostNameCache(ReverseResolver resolver = ResolveWithSystemResolver,
                           Options options = {}, Clock clock = nullptr);
    // Nothing is delivered afterwards; workers still running finish on
    // their own. The loop given to nameFor must still exist here.
    ~HostNameCache();
    HostNameCache(const HostNameCache&) = delete;
    HostNameCache& operator=(const HostNameCache&) = delete;

    // The address's name; nothing when it has none, is not a dotted quad,
    // or no answer came before the deadline. One thread at a time.
    std::optional<std::string> nameFor(const std::string& address);

    // The same answer without waiting: done runs exactly once on loop,
    // never inside this call, with the cached answer, the worker's answer
    // when it comes first, or nothing when the deadline passes first (the
    // late answer is still cached). Callers asking for an address already
    // being looked up share its worker. Loop thread only, and always the
    // same loop; done may destroy the cache.
    using NameDone = std::function<void(std::optional<std::string> name)>;
    void nameFor(const std::string& address, platform::RunLoop& loop, NameDone done);

private:
    struct Job;
    struct Mailbox;
    struct Answer {
        std::optional<std::string> name;
        std::chrono::steady_clock::time_point expires;
    };
    // An asynchronous caller still waiting for an address.
    struct Waiter {
        std::uint64_t id;
        platform::RunLoop::TimerId deadline;
        NameDone done;
    };

    const Answer* fresh(const std::string& address);
    std::shared_ptr<Job> start(const std::string& address);
    std::optional<std::string> await(const std::string& address, const std::shared_ptr<Job>& job);
    void collectFinished();
    void remember(const std::string& address, std::optional<std::string> name);
    void answerArrived(const std::string& address);
    void deadlinePassed(const std::string& address, std::uint64_t waiter);

    std::shared_ptr<ReverseResolver> resolver_;
    Options options_;
    Clock clock_;
    std::map<std::string, Answer> answers_;
    std::map<std::string, std::shared_ptr<Job>> running_;
    std::map<std::string, std::vector<Waiter>> waiting_;
    std::uint64_t nextWaiter_ = 1;
    std::shared_ptr<Mailbox> mailbox_;
    platform::RunLoop* loop_ = nullptr;  // the loop of the asynchronous callers
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

// The host name of a dotted-quad address, or "Unknown host" when none comes
// back within about a second. Answers are cached for the whole process.
std::string Inet_HostName(const char* address);

}  // namespace netinfo
