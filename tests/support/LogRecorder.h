#pragma once

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "log/EventLog.h"
#include "platform/SystemLog.h"

namespace testing_support {

// The lines a log received while the recorder was listening, from any
// thread: setObserver is the log's observer setter.
template <void (*setObserver)(std::function<void(std::string_view)>)>
class LineRecorder {
public:
    LineRecorder() {
        setObserver([this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        });
    }
    ~LineRecorder() { setObserver(nullptr); }
    LineRecorder(const LineRecorder&) = delete;
    LineRecorder& operator=(const LineRecorder&) = delete;

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

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// What reaches the system log, and every event-log entry as its caller
// passed it.
using SystemLogRecorder = LineRecorder<&platform::SetSystemLogObserver>;
using EventLogRecorder = LineRecorder<&eventlog::SetEventLogObserver>;

}  // namespace testing_support
