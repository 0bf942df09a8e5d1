#include "netinfo/HostNameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

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
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }) {}

// Workers still running keep their job and the resolver alive on their own.
HostNameCache::~HostNameCache() = default;

std::optional<std::string> HostNameCache::nameFor(const std::string& address) {
    if (!ParseDottedQuad(address)) {
        return std::nullopt;
    }
    collectFinished();
    if (auto it = answers_.find(address); it != answers_.end()) {
        if (clock_() < it->second.expires) {
            return it->second.name;
        }
        answers_.erase(it);
    }
    if (auto it = running_.find(address); it != running_.end()) {
        return await(address, it->second);
    }
    if (running_.size() >= options_.maxWorkers) {
        return std::nullopt;  // the resolver is stuck; don't pile up threads
    }
    auto job = std::make_shared<Job>();
    running_[address] = job;
    std::thread([job, resolver = resolver_, address] {
        auto name = (*resolver)(address);
        std::lock_guard lock(job->mutex);
        job->name = std::move(name);
        job->done = true;
        job->finished.notify_all();
    }).detach();
    return await(address, job);
}

// Placeholder: answers through the waiting call until the worker hand-off lands.
void HostNameCache::nameFor(const std::string& address, platform::RunLoop& loop, NameDone done) {
    std::weak_ptr<const bool> alive = alive_;
    loop.post([this, alive, address, done = std::move(done)] {
        if (alive.lock()) {
            done(nameFor(address));
        }
    });
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
