#include "mail/WorkerLauncher.h"

#include <pthread.h>
#include <sched.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace mail {
namespace {

class Launcher {
public:
    void add(std::function<void()> job) {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        wake_.notify_one();
    }

    // Sleeps until there is work: idle means idle.
    [[noreturn]] void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !jobs_.empty(); });
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            job = nullptr;  // what the job holds goes before the lock is retaken
            lock.lock();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
};

Launcher& TheLauncher() {
    // Never destroyed: its thread may be waiting for work when the process
    // exits, and a destructor could not end that wait safely.
    static Launcher* launcher = [] {
        auto* l = new Launcher;
        std::thread([l] {
            RunAsBackgroundThread();
            l->serve();
        }).detach();
        return l;
    }();
    return *launcher;
}

}  // namespace

void RunAsBackgroundThread() {
    // SCHED_BATCH keeps the thread's share of the processor but gives up
    // preempting others when it wakes; no privilege is needed to ask for it.
    sched_param unused{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &unused);
}

void LaunchInBackground(std::function<void()> job) {
    TheLauncher().add(std::move(job));
}

}  // namespace mail
