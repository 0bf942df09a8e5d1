#include "netinfo/HostNameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace netinfo {

struct HostNameCache::Job {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::optional<std::string> name;
};

// How a worker reaches the asynchronous callers' loop. The cache's
// destructor sets loop to null under the mutex, so a worker posts only while
// the cache, and so (by contract) the loop, still exists.
struct HostNameCache::Mailbox {
    std::mutex mutex;
    platform::RunLoop* loop = nullptr;

    void post(platform::RunLoop::Callback callback) {
        std::lock_guard lock(mutex);
        if (loop != nullptr) {
            loop->post(std::move(callback));
        }
    }
};

namespace {

std::optional<in_addr> ParseDottedQuad(const std::string& address) {
    in_addr raw{};
    if (inet_pton(AF_INET, address.c_str(), &raw) != 1) {
        return std::nullopt;
    }
    return raw;
}

}  // namespace

std::optional<std::string> ResolveWithSystemResolver(const std::string& address) {
    const auto raw = ParseDottedQuad(address);
    if (!raw) {
        return std::nullopt;
    }
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr = *raw;
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                    sizeof host, nullptr, 0, NI_NAMEREQD) != 0) {
        return std::nullopt;
    }
    return std::string(host);
}

HostNameCache::HostNameCache(ReverseResolver resolver, Options options, Clock clock)
    : resolver_(std::make_shared<ReverseResolver>(std::move(resolver))),
      options_(options),
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }),
      mailbox_(std::make_shared<Mailbox>()) {}

// Workers still running keep their job, the resolver and the mailbox alive
// on their own; once the mailbox is closed they post nothing.
HostNameCache::~HostNameCache() {
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->loop = nullptr;
    }
    for (const auto& [address, waiters] : waiting_) {
        for (const Waiter& waiter : waiters) {
            loop_->invalidateTimer(waiter.deadline);
        }
    }
}

std::optional<std::string> HostNameCache::nameFor(const std::string& address) {
    if (!ParseDottedQuad(address)) {
        return std::nullopt;
    }
    if (const Answer* answer = fresh(address)) {
        return answer->name;
    }
    const auto job = start(address);
    return job ? await(address, job) : std::nullopt;
}

void HostNameCache::nameFor(const std::string& address, platform::RunLoop& loop, NameDone done) {
    if (loop_ == nullptr) {
        loop_ = &loop;
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->loop = &loop;
    }
    const auto answerSoon = [&](std::optional<std::string> name) {
        loop.post([alive = std::weak_ptr(alive_), done = std::move(done), name = std::move(name)] {
            if (!alive.expired()) {
                done(name);
            }
        });
    };
    if (!ParseDottedQuad(address)) {
        return answerSoon(std::nullopt);
    }
    if (const Answer* answer = fresh(address)) {
        return answerSoon(answer->name);
    }
    if (!start(address)) {
        return answerSoon(std::nullopt);
    }
    const std::uint64_t id = nextWaiter_++;
    const auto deadline =
        loop.addTimer(options_.deadline, {}, [this, address, id] { deadlinePassed(address, id); });
    waiting_[address].push_back({id, deadline, std::move(done)});
}

const HostNameCache::Answer* HostNameCache::fresh(const std::string& address) {
    collectFinished();
    if (auto it = answers_.find(address); it != answers_.end()) {
        if (clock_() < it->second.expires) {
            return &it->second;
        }
        answers_.erase(it);
    }
    return nullptr;
}

// The running look-up of address, joined or started; none when too many
// workers are stuck already (more threads would not make the resolver answer).
std::shared_ptr<HostNameCache::Job> HostNameCache::start(const std::string& address) {
    if (auto it = running_.find(address); it != running_.end()) {
        return it->second;
    }
    if (running_.size() >= options_.maxWorkers) {
        return nullptr;
    }
    auto job = std::make_shared<Job>();
    running_[address] = job;
    // Touches the cache only on the loop, and only while it lives.
    auto arrived = [this, alive = std::weak_ptr(alive_), address] {
        if (!alive.expired()) {
            answerArrived(address);
        }
    };
    // Detached: getnameinfo cannot be cut short, and nobody may wait for it.
    std::thread([job, resolver = resolver_, mailbox = mailbox_, address, arrived] {
        auto name = (*resolver)(address);
        {
            std::lock_guard lock(job->mutex);
            job->name = std::move(name);
            job->done = true;
            job->finished.notify_all();
        }
        mailbox->post(arrived);
    }).detach();
    return job;
}

std::optional<std::string> HostNameCache::await(const std::string& address,
                                                const std::shared_ptr<Job>& job) {
    std::unique_lock lock(job->mutex);
    if (!job->finished.wait_for(lock, options_.deadline, [&] { return job->done; })) {
        return std::nullopt;
    }
    auto name = job->name;
    lock.unlock();
    running_.erase(address);
    remember(address, name);
    return name;
}

void HostNameCache::collectFinished() {
    for (auto it = running_.begin(); it != running_.end();) {
        std::unique_lock lock(it->second->mutex);
        if (!it->second->done) {
            ++it;
            continue;
        }
        auto name = it->second->name;
        lock.unlock();
        remember(it->first, std::move(name));
        it = running_.erase(it);
    }
}

void HostNameCache::remember(const std::string& address, std::optional<std::string> name) {
    answers_[address] = Answer{std::move(name), clock_() + options_.lifetime};
}

// Hands the answer to everyone waiting for address. Each done may destroy
// the cache, so their deadlines are dropped first and the rest is skipped then.
void HostNameCache::answerArrived(const std::string& address) {
    collectFinished();
    const auto waiting = waiting_.find(address);
    const auto answer = answers_.find(address);
    if (waiting == waiting_.end() || answer == answers_.end()) {
        return;  // nobody waits any more, or a waiting call took the answer already
    }
    const std::vector<Waiter> waiters = std::move(waiting->second);
    waiting_.erase(waiting);
    const std::optional<std::string> name = answer->second.name;
    for (const Waiter& waiter : waiters) {
        loop_->invalidateTimer(waiter.deadline);
    }
    const std::weak_ptr alive(alive_);
    for (const Waiter& waiter : waiters) {
        if (alive.expired()) {
            return;
        }
        waiter.done(name);
    }
}

// An answer already in (its delivery not yet run) still counts.
void HostNameCache::deadlinePassed(const std::string& address, std::uint64_t id) {
    auto waiting = waiting_.find(address);
    if (waiting == waiting_.end()) {
        return;
    }
    auto& waiters = waiting->second;
    const auto it = std::find_if(waiters.begin(), waiters.end(),
                                 [id](const Waiter& waiter) { return waiter.id == id; });
    if (it == waiters.end()) {
        return;
    }
    const NameDone done = std::move(it->done);
    waiters.erase(it);
    if (waiters.empty()) {
        waiting_.erase(waiting);
    }
    const Answer* answer = fresh(address);
    done(answer ? answer->name : std::nullopt);  // last: it may destroy the cache
}

std::string Inet_HostName(const char* address) {
    static std::mutex mutex;
    static HostNameCache cache;
    if (!address) {
        return "Unknown host";
    }
    std::lock_guard lock(mutex);
    return cache.nameFor(address).value_or("Unknown host");
}

}  // namespace netinfo
