#include <string_view>
#include <vector>

#include "controller/AppController.h"
#include "log/EventLog.h"
#include "settings/ControllerReaders.h"

namespace controller {

namespace {

// Pieces between the commas, in order, untrimmed; empty pieces stay (the
// sender skips them).
std::vector<std::string> SplitRecipients(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (auto comma = text.find(','); comma != std::string_view::npos;
         comma = text.find(',', start)) {
        pieces.emplace_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

}  // namespace

void AppController::sendEmailAlerts(const std::string& newAddress,
                                    const std::optional<std::string>& oldAddress,
                                    const std::string& message) {
    eventlog::LogEntry("Sending email alerts");
    const auto recipients = settings::ReadEmail();
    if (!recipients) {
        return;
    }
    for (auto& recipient : SplitRecipients(*recipients)) {
        services_.startMail(loop_,
                            MailAlert{newAddress, oldAddress, std::move(recipient), message});
    }
}

}  // namespace controller
