#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "controller/ControllerTexts.h"
#include "log/EventLog.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"

namespace controller {

namespace {

// The parts of the text title are joined by a single colon.
std::string Joined(const std::string& soFar, const std::string& part) {
    return soFar + ":" + part;
}

}  // namespace

void AppController::setTitle(const std::string& title, bool withIcon) {
    if (const auto wireless = showTitle(title, withIcon)) {
        eventlog::LogEntry("Wireless network: " + *wireless);
    }
}

std::optional<std::string> AppController::showTitle(const std::string& title, bool withIcon) {
    if (withIcon) {
        item_.setTitle("");
        item_.setImage(std::string(texts::kSmallImage));
        return std::nullopt;
    }
    item_.setImage(std::nullopt);  // also takes away a change icon
    const auto machineName =
        includeMachineNameInTitle() ? services_.copyMachineName() : std::nullopt;
    item_.setTitle(machineName ? Joined(title, *machineName) : title);
    if (includeCurrentWirelessNetworkInTitle()) {
        if (!gWirelessNetwork) {
            gWirelessNetwork = services_.currentWirelessNetwork().value_or("?");
        }
        item_.setTitle(Joined(item_.title(), *gWirelessNetwork));
        return gWirelessNetwork;
    }
    return std::nullopt;
}

void AppController::showChangeIcon() {
    if (titleIconOnly()) {
        item_.setTitle("");
    }
    item_.setImage(std::string(texts::kChangeImage));
}

bool AppController::titleIconOnly() const {
    return settings::ReadFlag(settings::keys::kTitleIconOnly);
}

bool AppController::displayChangedIconWhenAddressChangeDetected() const {
    return settings::ReadFlag(settings::keys::kDisplayChangedIcon);
}

bool AppController::includeMachineNameInTitle() const {
    return settings::ReadFlag(settings::keys::kIncludeMachineName);
}

bool AppController::includeCurrentWirelessNetworkInTitle() const {
    return settings::ReadFlag(settings::keys::kIncludeCurrentWirelessNetwork);
}

}  // namespace controller
