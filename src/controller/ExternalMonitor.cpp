#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "controller/ControllerTexts.h"
#include "controller/ExternalAnswer.h"
#include "foundation/CURL.h"
#include "log/EventLog.h"
#include "log/LogDate.h"
#include "platform/SystemLog.h"
#include "settings/ControllerReaders.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"

namespace controller {

namespace {

// The host named in the clearing line; the whole URL when none can be found.
std::string LookupServiceHost(const std::string& url) {
    const foundation::CURL parsed(url.c_str());
    return parsed.host.c_str()[0] != '\0' ? std::string(parsed.host.c_str()) : url;
}

}  // namespace

std::string AppController::externalIP() {
    if (gExternalIPAddress) {
        eventlog::LogEntry("Copying external IP address...");
        return *gExternalIPAddress;
    }
    // Each service in turn until one answers with an address.
    for (const std::string& url : LookupURLs(settings::ReadExternalIPLookupURL())) {
        if (services_.fetchCancel->cancelled()) {
            break;  // the program is ending: no service is asked any more
        }
        eventlog::LogEntry("Loading external IP address...(from " + url + ")");
        const auto page = services_.downloadURL(url, *services_.fetchCancel);
        if (const auto address = page ? AddressFromLookupPage(*page) : std::nullopt) {
            platform::WriteToSystemLog("External ip = " + *address);
            gExternalIPAddress = *address;
            answeringLookupURL_ = url;
            publishState();
            return *address;
        }
    }
    return std::string(texts::kNoAddress);  // not cached: the next call asks again
}

bool AppController::lookupCutShort() const {
    return services_.fetchCancel->cancelled() && !gExternalIPAddress;
}

void AppController::clearExternalIPAddress() {
    std::string url = answeringLookupURL_.value_or("");
    if (url.empty()) {
        const auto urls = LookupURLs(settings::ReadExternalIPLookupURL());
        url = urls.empty() ? std::string() : urls.front();
    }
    eventlog::LogEntry("Clearing external IP address. (The next check will ask \"" +
                       LookupServiceHost(url) + "\" again.)");
    if (gExternalIPAddress) {
        gExternalIPAddress.reset();
        publishState();
    }
}

void AppController::checkExternalIPAddressNow() {
    clearExternalIPAddress();
    externalIPAddressChangedTimerAction();
}

void AppController::externalIPAddressChangedTimerAction() {
    eventlog::LogEntry("Checking external IP");
    const std::string current = externalIP();
    if (lookupCutShort()) {
        return;  // nothing was learnt: no change to log, mail or store
    }
    eventlog::LogEntry("Current external IP address: " + current);
    const std::string last = lastExternalIPAddress();
    eventlog::LogEntry("Last external IP address: " + last);
    if (!SameAddressIgnoringCase(current, last)) {
        eventlog::LogEntry("External IP address changed from:" + last + " to:" + current);
        if (displayChangedIconWhenAddressChangeDetected()) {
            showChangeIcon();
        }
        if (sendEmailNotifications()) {
            sendEmailAlerts(current, last, std::string(texts::kExternalChangeMessage));
        }
        settings::WriteLastExternalIPAddress(current);
        noteAddressChange(AddressKind::External, last, current);
        publishState();
    }
    logNextExternalCheck();
}

void AppController::logNextExternalCheck() {
    const std::int16_t minutes = minutesInterval();
    const auto at = services_.wallClock() + std::chrono::minutes(minutes);
    // The interval is never below 6, so the plural ending always applies.
    eventlog::LogEntry("Next external IP address check in: " + std::to_string(minutes) +
                       " minutes (at " + eventlog::LogDateDescriptionAt(at) + ")");
}

bool AppController::monitorExternalIP() const {
    return settings::ReadFlag(settings::keys::kEmailChangesToExternalIPAddress);
}

bool AppController::sendEmailNotifications() const {
    return settings::ReadFlag(settings::keys::kSendEmailNotifications);
}

std::string AppController::lastExternalIPAddress() const {
    return settings::ReadLastExternalIPAddress();
}

std::int16_t AppController::minutesInterval() const {
    return settings::ReadMinutesInterval();
}

std::int16_t AppController::minutesIntervalInSeconds() const {
    return settings::ReadMinutesIntervalInSeconds();
}

}  // namespace controller
