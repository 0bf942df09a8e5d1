#include <utility>

#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "controller/ControllerTexts.h"
#include "controller/ExternalAnswer.h"
#include "log/EventLog.h"
#include "settings/ControllerReaders.h"

namespace controller {

// What one refresh found and showed, for the job that logs it later.
struct AppController::RefreshFacts {
    bool listRead = false;
    std::vector<std::string> addresses;
    std::optional<std::string> oldAddress;  // stored before this refresh
    std::optional<std::string> wireless;    // the network name the title carries
    bool changed = false;                   // the first address differs from oldAddress
};

void AppController::refresh(bool rebuildMenu) {
    if (refreshesWaiting_ > 0) {
        return;  // the refresh already queued reads the list after this request
    }
    runRefresh(rebuildMenu, nullptr);
}

void AppController::runRefresh(bool rebuildMenu, const netinfo::AddressList* looked) {
    std::shared_ptr<const RefreshFacts> facts = showRefresh(looked);
    if (rebuildMenu) {
        buildMenu();
    }
    ++refreshesWaiting_;
    log_.add([this, facts](LogSequencer::Done done) {
        --refreshesWaiting_;
        logRefresh(facts, std::move(done));
    });
}

std::shared_ptr<AppController::RefreshFacts> AppController::showRefresh(
    const netinfo::AddressList* looked) {
    auto facts = std::make_shared<RefreshFacts>();
    facts->oldAddress = settings::ReadLastIPAddress();
    std::unique_ptr<netinfo::AddressList> copied;
    if (!looked && services_.copyIPAddressList(&copied) == 0) {
        looked = copied.get();
    }
    // A list that cannot be read leaves the addresses, title and stored
    // address as they were.
    if (!looked) {
        return facts;
    }
    facts->listRead = true;
    facts->addresses.assign(looked->begin(), looked->end());
    gAddresses = facts->addresses;
    if (gAddresses.empty()) {
        // The placeholder is shown as text even in icon-only mode.
        facts->wireless = showTitle(std::string(texts::kNoAddress), false);
        retitleMenuItem(texts::kDNSNamePosition, std::string(texts::kDNSNameUnavailable));
    } else {
        const std::string& first = gAddresses.front();
        facts->wireless = showTitle(first, titleIconOnly());
        facts->changed = !facts->oldAddress || !SameAddressIgnoringCase(first, *facts->oldAddress);
        if (facts->changed) {
            gLastInternalChange = services_.wallClock();
        }
    }
    publishState();
    // Written now, after the title, so the next refresh compares with it.
    if (gAddresses.empty()) {
        settings::WriteLastIPAddress(std::string(texts::kNoAddress));
    } else if (facts->changed) {
        settings::WriteLastIPAddress(gAddresses.front());
    }
    return facts;
}

void AppController::logRefresh(const std::shared_ptr<const RefreshFacts>& facts,
                               LogSequencer::Done done) {
    eventlog::LogEntry("Checking internal IP");
    const auto refreshed = [this](const std::string& address) {
        eventlog::LogEntry(services_.bundleName + " " + services_.bundleShortVersion +
                           " refreshed. (" + address + ")");
    };
    if (!facts->listRead || facts->addresses.empty()) {
        if (facts->listRead) {
            eventlog::LogEntry("No internal IP could not be found");
        }
        if (facts->wireless) {
            eventlog::LogEntry("Wireless network: " + *facts->wireless);
        }
        refreshed(std::string(texts::kNoAddress));
        done();
        return;
    }
    const std::string first = facts->addresses.front();
    nameFor(first, [this, facts, first, refreshed, done](std::optional<std::string> name) {
        // A later refresh may show another first address by now.
        if (!gAddresses.empty() && gAddresses.front() == first) {
            retitleMenuItem(texts::kDNSNamePosition,
                            name.value_or(std::string(texts::kDNSNameUnavailable)));
        }
        logFirstAddress(*facts, name);
        refreshed(first);
        done();
    });
}

void AppController::logFirstAddress(const RefreshFacts& facts,
                                    const std::optional<std::string>& name) {
    const std::string& first = facts.addresses.front();
    eventlog::LogEntry("Internal IP address:" + first + " (" +
                       name.value_or(std::string(texts::kNoName)) + ")");
    eventlog::LogEntry("Current internal IP addresses found listed below:");
    int counter = 1;
    for (const auto& address : facts.addresses) {
        eventlog::LogEntry("[" + std::to_string(counter++) + "] " + address);
    }
    if (facts.wireless) {
        eventlog::LogEntry("Wireless network: " + *facts.wireless);
    }
    if (facts.oldAddress) {
        eventlog::LogEntry("Last internal IP address: " + *facts.oldAddress);
    }
    if (!facts.changed) {
        return;
    }
    eventlog::LogEntry("(First) Internal IP address changed from:" +
                       facts.oldAddress.value_or(std::string(texts::kMissingObject)) +
                       " to:" + first);
    if (sendEmailNotifications()) {
        internalMail_->offer({facts.oldAddress, first});
    }
    notifyDesktop(mail::MailKind::Internal, facts.oldAddress, first);
}

void AppController::ipAddressChanged(const netinfo::AddressList* looked) {
    if (includeCurrentWirelessNetworkInTitle()) {
        gWirelessNetwork = services_.currentWirelessNetwork().value_or("?");
    }
    runRefresh(false, looked);
    if (displayChangedIconWhenAddressChangeDetected()) {
        showChangeIcon();
    }
}

void AppController::nameFor(const std::string& address, AppControllerServices::TextDone done) {
    // Whichever comes first, the answer or the bound, is passed on; the
    // other finds nothing left to do.
    auto pending = std::make_shared<AppControllerServices::TextDone>(std::move(done));
    auto timer = std::make_shared<std::optional<platform::RunLoop::TimerId>>();
    auto answer = [this, pending, timer](std::optional<std::string> name) {
        if (!*pending) {
            return;
        }
        auto next = std::exchange(*pending, nullptr);
        if (*timer) {
            loop_.invalidateTimer(**timer);
        }
        next(std::move(name));
    };
    *timer = loop_.addTimer(kLookupBound, platform::RunLoop::Duration::zero(),
                            guarded([answer] { answer(std::nullopt); }));
    services_.reverseLookup(address, loop_, guarded(answer));
}

}  // namespace controller
