#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "controller/ControllerTexts.h"
#include "controller/ExternalAnswer.h"
#include "log/EventLog.h"
#include "settings/ControllerReaders.h"

namespace controller {

namespace {

void LogAddressList() {
    eventlog::LogEntry("Current internal IP addresses found listed below:");
    int counter = 1;
    for (const auto& address : gAddresses) {
        eventlog::LogEntry("[" + std::to_string(counter++) + "] " + address);
    }
}

}  // namespace

void AppController::refresh(bool rebuildMenu) {
    eventlog::LogEntry("Checking internal IP");
    const std::optional<std::string> oldAddress = settings::ReadLastIPAddress();
    std::optional<std::string> firstAddress;
    std::unique_ptr<netinfo::AddressList> list;
    // A list that cannot be read leaves the addresses, title and stored
    // address as they were.
    if (services_.copyIPAddressList(&list) == 0 && list) {
        gAddresses.assign(list->begin(), list->end());
        if (gAddresses.empty()) {
            showNoAddress();
        } else {
            firstAddress = gAddresses.front();
            showFirstAddress(*firstAddress);
            noteFirstAddress(*firstAddress, oldAddress);
        }
    }
    eventlog::LogEntry(services_.bundleName + " " + services_.bundleShortVersion + " refreshed. (" +
                       firstAddress.value_or(std::string(texts::kNoAddress)) + ")");
    publishState();
    if (rebuildMenu) {
        buildMenu();
    }
}

void AppController::showNoAddress() {
    eventlog::LogEntry("No internal IP could not be found");
    // The placeholder is shown as text even in icon-only mode.
    setTitle(std::string(texts::kNoAddress), false);
    retitleMenuItem(texts::kDNSNamePosition, std::string(texts::kDNSNameUnavailable));
    settings::WriteLastIPAddress(std::string(texts::kNoAddress));
}

void AppController::showFirstAddress(const std::string& firstAddress) {
    const auto name = services_.reverseLookup(firstAddress);
    retitleMenuItem(texts::kDNSNamePosition,
                    name.value_or(std::string(texts::kDNSNameUnavailable)));
    eventlog::LogEntry("Internal IP address:" + firstAddress + " (" +
                       name.value_or(std::string(texts::kNoName)) + ")");
    LogAddressList();
    setTitle(firstAddress, titleIconOnly());
}

void AppController::noteFirstAddress(const std::string& firstAddress,
                                     const std::optional<std::string>& oldAddress) {
    if (oldAddress) {
        eventlog::LogEntry("Last internal IP address: " + *oldAddress);
        if (SameAddressIgnoringCase(firstAddress, *oldAddress)) {
            return;
        }
    }
    settings::WriteLastIPAddress(firstAddress);
    eventlog::LogEntry("(First) Internal IP address changed from:" +
                       oldAddress.value_or(std::string(texts::kMissingObject)) +
                       " to:" + firstAddress);
    if (sendEmailNotifications()) {
        sendEmailAlerts(firstAddress, oldAddress, std::string(texts::kInternalChangeMessage));
    }
    noteAddressChange(AddressKind::Internal, oldAddress, firstAddress);
}

void AppController::ipAddressChanged() {
    if (includeCurrentWirelessNetworkInTitle()) {
        gWirelessNetwork = services_.currentWirelessNetwork().value_or("?");
    }
    refresh(false);
    if (displayChangedIconWhenAddressChangeDetected()) {
        showChangeIcon();
    }
}

}  // namespace controller
