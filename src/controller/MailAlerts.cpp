#include <string_view>
#include <vector>

#include "controller/AppController.h"
#include "controller/ControllerTexts.h"
#include "log/EventLog.h"
#include "log/LogDate.h"
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

const char* KindName(mail::MailKind kind) {
    return kind == mail::MailKind::Internal ? "Internal" : "External";
}

}  // namespace

std::unique_ptr<MailThrottle> AppController::makeThrottle(mail::MailKind kind) {
    const auto send = [this, kind](const MailThrottle::Change& change, bool wasHeld) {
        if (!wasHeld) {
            sendEmailAlerts(change, kind);
            return;
        }
        // Due now, after the change's own lines: its lines come in turn.
        log_.add([this, kind, change](LogSequencer::Done done) {
            if (sendEmailNotifications()) {
                eventlog::LogEntry(std::string(KindName(kind)) +
                                   " address e-mail held back until now: changed from:" +
                                   change.from.value_or(std::string(texts::kMissingObject)) +
                                   " to:" + change.to);
                sendEmailAlerts(change, kind);
            }
            done();
        });
    };
    const auto held = [this, kind](platform::RunLoop::TimePoint due) {
        const auto at = services_.wallClock() + (due - loop_.now());
        eventlog::LogEntry(std::string(KindName(kind)) +
                           " address e-mail held back: more than 3 changes in a row; the next one "
                           "goes out at " +
                           eventlog::LogDateDescriptionAt(at).substr(11, 8));
    };
    const auto dropped = [kind](const std::string& address) {
        eventlog::LogEntry(std::string(KindName(kind)) + " address e-mail dropped: back to " +
                           address + ", the address last mailed");
    };
    return std::make_unique<MailThrottle>(loop_, send, held, dropped);
}

void AppController::sendEmailAlerts(const MailThrottle::Change& change, mail::MailKind kind) {
    eventlog::LogEntry("Sending email alerts");
    const auto recipients = settings::ReadEmail();
    if (!recipients) {
        return;
    }
    const std::string message(kind == mail::MailKind::Internal ? texts::kInternalChangeMessage
                                                               : texts::kExternalChangeMessage);
    for (auto& recipient : SplitRecipients(*recipients)) {
        services_.startMail(loop_,
                            MailAlert{change.to, change.from, std::move(recipient), message, kind});
    }
}

}  // namespace controller
