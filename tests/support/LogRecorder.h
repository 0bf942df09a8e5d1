#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "log/EventLog.h"
#include "platform/SystemLog.h"

namespace testing_support {

// The lines a log received while the recorder was listening, from any thread.
class LineRecorder {
public:
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // How many lines hold part.
    std::size_t count(std::string_view part) const {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count_if(
            lines_.begin(), lines_.end(),
            [part](const std::string& line) { return line.find(part) != std::string::npos; }));
    }
    bool contains(std::string_view part) const { return count(part) > 0; }

protected:
    void record(std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Records what reaches the system log, as it reaches it.
class SystemLogRecorder : public LineRecorder {
public:
    SystemLogRecorder() {
        platform::SetSystemLogObserver([this](std::string_view line) { record(line); });
    }
    ~SystemLogRecorder() { platform::SetSystemLogObserver(nullptr); }
    SystemLogRecorder(const SystemLogRecorder&) = delete;
    SystemLogRecorder& operator=(const SystemLogRecorder&) = delete;
};

// Records every event-log entry, as its caller passed it.
class EventLogRecorder : public LineRecorder {
public:
    EventLogRecorder() {
        eventlog::SetEventLogObserver([this](std::string_view line) { record(line); });
    }
    ~EventLogRecorder() { eventlog::SetEventLogObserver(nullptr); }
    EventLogRecorder(const EventLogRecorder&) = delete;
    EventLogRecorder& operator=(const EventLogRecorder&) = delete;
};

}  // namespace testing_support
