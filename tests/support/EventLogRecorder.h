#pragma once

#include "log/EventLog.h"
#include "support/LogRecorder.h"

namespace testing_support {

// Records every event-log entry, as its caller passed it, while it lives.
class EventLogRecorder : public LineRecorder {
public:
    EventLogRecorder() {
        SetEventLogObserver([this](std::string_view line) { record(line); });
    }
    ~EventLogRecorder() { SetEventLogObserver(nullptr); }
    EventLogRecorder(const EventLogRecorder&) = delete;
    EventLogRecorder& operator=(const EventLogRecorder&) = delete;
};

}  // namespace testing_support
