#include "controller/AppController.h"
#include "controller/ControllerTexts.h"
#include "settings/Readers.h"

namespace controller {

void AppController::notifyDesktop(mail::MailKind kind, const std::optional<std::string>& oldAddress,
                                  const std::string& newAddress) {
    const bool internal = kind == mail::MailKind::Internal;
    if (!settings::ReadNotifyDesktopOnChange()) {
        return;
    }
    const std::string body = std::string(internal ? "Internal" : "External") +
                             " address changed from " + oldAddress.value_or("none") + " to " +
                             newAddress;
    desktop_.notify(std::string(texts::kChangeNotificationSummary), body);
}

}  // namespace controller
