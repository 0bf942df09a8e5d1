#include <utility>

#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "controller/ControllerTexts.h"
#include "controller/ExternalAnswer.h"
#include "log/EventLog.h"
#include "log/LogDate.h"
#include "platform/SystemLog.h"
#include "settings/ControllerReaders.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"
#include "transfer/UrlHost.h"

namespace controller {

namespace {

// The host named in the clearing line; the whole URL when none can be found.
std::string LookupServiceHost(const std::string& url) {
    return transfer::UrlHost(url).value_or(url);
}

}  // namespace

void AppController::externalIP(AddressDone done) {
    if (gExternalIPAddress) {
        eventlog::LogEntry("Copying external IP address...");
        done(*gExternalIPAddress);
        return;
    }
    // A lookup already running answers everyone waiting for it.
    lookupWaiters_.push_back(std::move(done));
    if (!lookupRunning_) {
        lookupRunning_ = true;
        lookupAt(LookupURLs(settings::ReadExternalIPLookupURL()), 0);
    }
}

void AppController::lookupAt(std::vector<std::string> urls, std::size_t next) {
    // Each service in turn until one answers with an address; none is asked
    // once the program is ending.
    if (next >= urls.size() || services_.fetchCancel->cancelled()) {
        lookupDone(std::string(texts::kNoAddress));  // not cached: the next call asks again
        return;
    }
    const std::string url = urls[next];
    eventlog::LogEntry("Loading external IP address...(from " + url + ")");
    services_.fetchPage(url, guarded([this, urls = std::move(urls), next,
                                      url](std::optional<std::string> page) mutable {
                            const auto address = page ? AddressFromLookupPage(*page) : std::nullopt;
                            if (!address) {
                                lookupAt(std::move(urls), next + 1);
                                return;
                            }
                            gExternalIPAddress = *address;
                            answeringLookupURL_ = url;
                            publishState();
                            platform::WriteToSystemLog("External ip = " + *address);
                            lookupDone(*address);
                        }));
}

void AppController::lookupDone(const std::string& address) {
    lookupRunning_ = false;
    for (const auto& waiter : std::exchange(lookupWaiters_, {})) {
        waiter(address);
    }
}

bool AppController::lookupCutShort() const {
    return services_.fetchCancel->cancelled() && !gExternalIPAddress;
}

void AppController::clearExternalIPAddress() {
    log_.add([this](LogSequencer::Done done) {
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
        done();
    });
}

void AppController::checkExternalIPAddressNow() {
    // Asked for from outside, possibly many times a second: a check that is
    // running or has just ended answers instead of a new lookup.
    if (checksWaiting_ > 0 || (lastCheckDone_ && loop_.now() - *lastCheckDone_ < kCheckReuse)) {
        return;
    }
    clearExternalIPAddress();
    externalIPAddressChangedTimerAction();
}

void AppController::externalIPAddressChangedTimerAction() {
    ++checksWaiting_;
    log_.add([this](LogSequencer::Done done) {
        eventlog::LogEntry("Checking external IP");
        externalIP([this, done](const std::string& current) {
            --checksWaiting_;
            lastCheckDone_ = loop_.now();
            logExternalCheck(current);
            done();
        });
    });
}

void AppController::logExternalCheck(const std::string& current) {
    if (lookupCutShort()) {
        return;  // nothing was learnt: no change to log, mail or store
    }
    const std::string last = lastExternalIPAddress();
    const bool changed = !SameAddressIgnoringCase(current, last);
    if (changed) {
        if (displayChangedIconWhenAddressChangeDetected()) {
            showChangeIcon();
        }
        gLastExternalChange = services_.wallClock();
        publishState();
    }
    eventlog::LogEntry("Current external IP address: " + current);
    eventlog::LogEntry("Last external IP address: " + last);
    if (changed) {
        eventlog::LogEntry("External IP address changed from:" + last + " to:" + current);
        if (sendEmailNotifications()) {
            externalMail_->offer({last, current});
        }
        settings::WriteLastExternalIPAddress(current);
        notifyDesktop(mail::MailKind::External, last, current);
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
