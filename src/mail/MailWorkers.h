#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "mail/SmtpClientDelegate.h"
#include "platform/RunLoop.h"
#include "transfer/CancelToken.h"

namespace mail {

// One conversation as the workers hold it.
class QueuedConversation {
public:
    virtual ~QueuedConversation() = default;
    // On a worker: holds the whole conversation; returns once it is over, or
    // soon after cancel fires or abandon() is called.
    virtual void converse(const transfer::CancelToken& cancel) = 0;
    // Any thread: the conversation is to end as soon as it can.
    virtual void abandon() = 0;
    // On the loop, when the workers end before the conversation reported its
    // own end; nothing of it reaches the loop afterwards.
    virtual void cutShort() = 0;
};

// The workers that hold one run loop's SMTP conversations: one per kind of
// mail, each taking its kind's conversations one at a time in the order they
// came, so a server that hangs holds one connection per kind and delays no
// other kind. A worker starts when first needed, then sleeps until there is
// work. Everything a conversation reports reaches the loop through post(),
// which refuses once end() has begun: nothing is posted to a loop whose
// owner has ended its workers.
class MailWorkers : public std::enable_shared_from_this<MailWorkers> {
public:
    // Conversations of one kind waiting or in progress, at most: a longer
    // recipient list is cut there.
    static constexpr std::size_t kMaxInFlight = 100;
    // The first wait before a worker that could not start is tried again;
    // each failure doubles it, up to a minute.
    static constexpr platform::RunLoop::Duration kFirstRetry{1000};

    // loop's workers, made on first use. Any thread.
    static std::shared_ptr<MailWorkers> forLoop(platform::RunLoop& loop);
    // Ends loop's workers, if it has any (see end()). On loop's thread.
    static void endFor(platform::RunLoop& loop);

    explicit MailWorkers(platform::RunLoop& loop) : loop_(loop) {}
    ~MailWorkers();
    MailWorkers(const MailWorkers&) = delete;
    MailWorkers& operator=(const MailWorkers&) = delete;

    // On the loop: whether another conversation of kind may be submitted.
    bool hasRoom(MailKind kind) const;
    // On the loop: queues conversation behind the others of its kind. A
    // worker that cannot be started (start throws) is tried again later.
    void submit(MailKind kind, std::shared_ptr<QueuedConversation> conversation,
                const SmtpOptions& options);
    // On the loop: conversation has reported its end.
    void finished(const QueuedConversation& conversation);
    // Any thread: runs callback on the loop, unless the workers have ended.
    bool post(platform::RunLoop::Callback callback);

private:
    struct Lane {
        std::deque<std::shared_ptr<QueuedConversation>> waiting;
        QueuedConversation* running = nullptr;
        std::thread thread;
        bool exited = false;
        std::function<std::thread(std::function<void()>)> start;
    };

    // On the loop: stops every conversation, waits briefly for the workers
    // and cuts short the conversations that had not ended.
    void end();
    void serve(Lane& lane);
    void scheduleRetry();
    bool startLane(Lane& lane);
    bool allExited() const;

    platform::RunLoop& loop_;
    transfer::CancelToken cancel_;

    // Shared with the workers.
    mutable std::mutex mutex_;
    std::condition_variable wake_;    // work queued, or the end
    std::condition_variable exited_;  // a worker returned
    bool ending_ = false;
    std::array<Lane, 3> lanes_;  // by MailKind

    // Loop only.
    std::vector<std::pair<MailKind, std::shared_ptr<QueuedConversation>>> live_;
    platform::RunLoop::TimerId retryTimer_ = 0;
    platform::RunLoop::Duration retryDelay_{kFirstRetry};
};

// Lets the calling thread's wake-ups wait for the run loop rather than
// preempt it: its work is never in a hurry measured in milliseconds.
void RunAsBackgroundThread();

}  // namespace mail
