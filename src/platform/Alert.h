#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SystemLog.h"

namespace platform {

// The standard stop alert: a beep, then a modal message with one OK button,
// until the user dismisses it. The desktop installs one that shows a real
// dialog; until then, and in programs without a display, the message goes
// to the system log.
class Alert {
public:
    virtual ~Alert() = default;
    // 0 once shown and dismissed; otherwise why it could not be shown.
    virtual std::int32_t showStopAlert(std::string_view message, std::string_view explanation) = 0;
};

class SystemLogAlert : public Alert {
public:
    std::int32_t showStopAlert(std::string_view message, std::string_view explanation) override {
        std::string line = "Alert: ";
        line.append(message);
        if (!explanation.empty()) {
            line.append(" - ").append(explanation);
        }
        WriteToSystemLog(line);
        return 0;
    }
};

namespace detail {
inline Alert*& InstalledAlert() {
    static Alert* installed = nullptr;
    return installed;
}
}  // namespace detail

// The alert in use. Main thread only.
inline Alert& CurrentAlert() {
    static SystemLogAlert fallback;
    Alert* installed = detail::InstalledAlert();
    return installed ? *installed : fallback;
}

// Installs the desktop's alert; nullptr returns to the system-log one. The
// caller keeps the object alive while it is installed.
inline void SetCurrentAlert(Alert* alert) {
    detail::InstalledAlert() = alert;
}

}  // namespace platform
