#include "mail/MailWorkers.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <system_error>

#include "log/EventLog.h"
#include "mail/SSMTP.h"

namespace mail {
namespace {

using namespace std::chrono_literals;

// How long the end waits for workers to return. A worker still inside the
// resolver past it is let go: its conversation can no longer post.
constexpr auto kEndWait = 150ms;
constexpr platform::RunLoop::Duration kLongestRetry = 60s;

struct Registry {
    std::mutex mutex;
    std::map<platform::RunLoop*, std::shared_ptr<MailWorkers>> workers;
};

Registry& TheRegistry() {
    // Never destroyed: a loop's owner ends its workers while the loop lives;
    // nothing is left for the end of the process to tear down.
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

void RunAsBackgroundThread() {
    // SCHED_BATCH keeps the thread's share of the processor but gives up
    // preempting others when it wakes; no privilege is needed to ask for it.
    sched_param unused{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &unused);
}

void EndConversations(platform::RunLoop& loop) {
    MailWorkers::endFor(loop);
}

std::shared_ptr<MailWorkers> MailWorkers::forLoop(platform::RunLoop& loop) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    std::shared_ptr<MailWorkers>& workers = registry.workers[&loop];
    if (!workers) {
        workers = std::make_shared<MailWorkers>(loop);
    }
    return workers;
}

void MailWorkers::endFor(platform::RunLoop& loop) {
    std::shared_ptr<MailWorkers> workers;
    {
        Registry& registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        if (auto found = registry.workers.find(&loop); found != registry.workers.end()) {
            workers = std::move(found->second);
            registry.workers.erase(found);
        }
    }
    if (workers) {
        workers->end();
    }
}

MailWorkers::~MailWorkers() {
    // Reached only once no worker holds this any more: each has returned.
    for (Lane& lane : lanes_) {
        if (lane.thread.joinable()) {
            lane.thread.detach();
        }
    }
}

bool MailWorkers::hasRoom(MailKind kind) const {
    return std::count_if(live_.begin(), live_.end(), [kind](const auto& entry) {
               return entry.first == kind;
           }) < static_cast<std::ptrdiff_t>(kMaxInFlight);
}

void MailWorkers::submit(MailKind kind, std::shared_ptr<QueuedConversation> conversation,
                         const SmtpOptions& options) {
    Lane& lane = lanes_[static_cast<std::size_t>(kind)];
    live_.emplace_back(kind, conversation);
    {
        std::lock_guard lock(mutex_);
        lane.waiting.push_back(std::move(conversation));
        wake_.notify_all();
    }
    // While a retry is due, starting waits for it: one try, one log line.
    if (!lane.thread.joinable()) {
        lane.start = options.startWorker;
        if (retryTimer_ == 0 && !startLane(lane)) {
            scheduleRetry();
        }
    }
}

bool MailWorkers::startLane(Lane& lane) {
    auto body = [self = shared_from_this(), &lane] {
        RunAsBackgroundThread();
        self->serve(lane);
    };
    try {
        lane.thread = lane.start ? lane.start(std::move(body)) : std::thread(std::move(body));
        retryDelay_ = kFirstRetry;
        return true;
    } catch (const std::system_error& e) {
        eventlog::LogEntry("Mail waits: no worker could be started (" + std::string(e.what()) +
                           "); trying again in " + std::to_string(retryDelay_.count() / 1000) +
                           " s.");
        return false;
    }
}

void MailWorkers::scheduleRetry() {
    // A lane has work but no worker: its next try, on the loop.
    retryTimer_ = loop_.addTimer(retryDelay_, {}, [weak = weak_from_this()] {
        const std::shared_ptr<MailWorkers> self = weak.lock();
        if (!self) {
            return;
        }
        self->retryTimer_ = 0;
        self->retryDelay_ = std::min(self->retryDelay_ * 2, kLongestRetry);
        bool missing = false;
        for (Lane& lane : self->lanes_) {
            if (!lane.thread.joinable() && !lane.waiting.empty() && !self->startLane(lane)) {
                missing = true;
            }
        }
        if (missing) {
            self->scheduleRetry();
        }
    });
}

void MailWorkers::serve(Lane& lane) {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return ending_ || !lane.waiting.empty(); });
        if (ending_) {
            break;
        }
        std::shared_ptr<QueuedConversation> conversation = std::move(lane.waiting.front());
        lane.waiting.pop_front();
        lane.running = conversation.get();
        lock.unlock();
        conversation->converse(cancel_);
        lock.lock();
        lane.running = nullptr;
        lock.unlock();
        conversation.reset();  // outside the lock: it may be the last reference
        lock.lock();
    }
    lane.exited = true;
    exited_.notify_all();
}

bool MailWorkers::post(platform::RunLoop::Callback callback) {
    std::lock_guard lock(mutex_);
    if (ending_) {
        return false;
    }
    loop_.post(std::move(callback));
    return true;
}

void MailWorkers::finished(const QueuedConversation& conversation) {
    std::erase_if(live_, [&](const auto& entry) { return entry.second.get() == &conversation; });
}

bool MailWorkers::allExited() const {
    return std::all_of(lanes_.begin(), lanes_.end(),
                       [](const Lane& lane) { return !lane.thread.joinable() || lane.exited; });
}

void MailWorkers::end() {
    std::vector<std::shared_ptr<QueuedConversation>> dropped;
    {
        std::unique_lock lock(mutex_);
        ending_ = true;
        for (Lane& lane : lanes_) {
            if (lane.running != nullptr) {
                lane.running->abandon();
            }
            dropped.insert(dropped.end(), lane.waiting.begin(), lane.waiting.end());
            lane.waiting.clear();
        }
        wake_.notify_all();
        cancel_.cancel();
        exited_.wait_for(lock, kEndWait, [this] { return allExited(); });
        for (Lane& lane : lanes_) {
            if (lane.thread.joinable()) {
                if (lane.exited) {
                    lane.thread.join();
                } else {
                    lane.thread.detach();  // it holds this object alive itself
                }
            }
        }
    }
    if (retryTimer_ != 0) {
        loop_.invalidateTimer(retryTimer_);
        retryTimer_ = 0;
    }
    // In the order they came; each is told on the loop, as its stages were.
    for (auto live = std::move(live_); auto& entry : live) {
        entry.second->cutShort();
    }
}

}  // namespace mail
