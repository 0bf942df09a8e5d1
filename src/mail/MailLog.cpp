#include "mail/MailLog.h"

#include <mutex>

#include "log/EventLog.h"

namespace mail {
namespace {

std::mutex gObserverMutex;
std::function<void(const std::string&)> gObserver;

}  // namespace

void LogMailEvent(const std::string& line) {
    eventlog::LogEntry(line);
    std::lock_guard lock(gObserverMutex);
    if (gObserver) {
        gObserver(line);
    }
}

void SetMailLogObserverForTesting(std::function<void(const std::string&)> observer) {
    std::lock_guard lock(gObserverMutex);
    gObserver = std::move(observer);
}

}  // namespace mail
