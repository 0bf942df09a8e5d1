#pragma once

#include <vector>

#include "controller/AppControllerServices.h"
#include "log/EventLog.h"

namespace testing_support {

// Stands in for the sender: keeps each e-mail it is asked to start and logs
// one line for it, as a real sender logs while it starts.
class RecordingMailStarter {
public:
    static constexpr const char* kStartLine = "sender started for: ";

    const std::vector<controller::MailAlert>& alerts() const { return alerts_; }

    void wireInto(controller::AppControllerServices& services) {
        services.startMail = [this](platform::RunLoop&, const controller::MailAlert& alert) {
            alerts_.push_back(alert);
            eventlog::LogEntry(kStartLine + alert.recipient);
        };
    }

private:
    std::vector<controller::MailAlert> alerts_;
};

}  // namespace testing_support
