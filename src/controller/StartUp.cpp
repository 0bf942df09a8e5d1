#include <algorithm>
#include <chrono>

#include "controller/AppController.h"
#include "controller/ControllerCallbacks.h"
#include "controller/ControllerState.h"
#include "log/EventLog.h"
#include "settings/ControllerReaders.h"
#include "settings/SettingsKeys.h"

namespace controller {

namespace {

constexpr std::size_t kAddressCapacityHint = 50;
constexpr std::chrono::seconds kClearingInterval{300};
// "Initial Refresh" is the user's own number: a negative one fires at once,
// and a huge one must not overflow the timer's milliseconds.
constexpr std::int64_t kLongestInitialRefresh = 366LL * 24 * 60 * 60;

}  // namespace

AppController::AppController(platform::RunLoop& loop, platform::NotificationCenter& center,
                             StatusItem& item, Desktop& desktop)
    : AppController(loop, center, item, desktop, AppControllerServices{}) {}

AppController::AppController(platform::RunLoop& loop, platform::NotificationCenter& center,
                             StatusItem& item, Desktop& desktop,
                             const AppControllerServices& services)
    : loop_(loop),
      center_(center),
      item_(item),
      desktop_(desktop),
      services_(services),
      log_(loop, kHoldBound),
      internalMail_(makeThrottle(mail::MailKind::Internal)),
      externalMail_(makeThrottle(mail::MailKind::External)),
      alive_(std::make_shared<const bool>(true)) {
    if (!services_.fetchPage) {
        pageFetch_ = std::make_unique<netinfo::BackgroundPageFetch>(loop_, services_.fetchCancel);
        services_.fetchPage = [this](const std::string& url, AppControllerServices::TextDone done) {
            pageFetch_->start(url, std::move(done));
        };
    }
}

AppController::~AppController() {
    if (preferencesObserver_ != 0) {
        center_.removeObserver(preferencesObserver_);
    }
    if (monitorExternalIPAddressTimer_) {
        loop_.invalidateTimer(*monitorExternalIPAddressTimer_);
    }
    for (const auto timer : eventLoopTimers_) {
        loop_.invalidateTimer(timer);
    }
}

void AppController::init() {
    eventlog::StartLogging();
    eventlog::LogEntry("Starting up...");
    monitorExternalIPAddressTimer_.reset();
    gAddresses.clear();
    gAddresses.reserve(kAddressCapacityHint);
    gExternalIPAddress.reset();
    gWirelessNetwork.reset();
    gLastInternalChange.reset();
    gLastExternalChange.reset();
    item_.setHighlightMode(true);
    setup();
    observePreferencesChanges();
    initTimerAndRegisterNotifications();
    // The start-up refreshes have just read the list: no third read.
    std::optional<std::string> first;
    if (!gAddresses.empty()) {
        first = gAddresses.front();
    }
    // Behind the start-up's checks and refreshes, which fill the cache when
    // the lookup service answers promptly.
    log_.add([this, first](LogSequencer::Done done) {
        externalIP([this, first, done](const std::string& external) {
            if (!lookupCutShort()) {
                eventlog::LogEntry("The current external IP address is:" + external);
            }
            if (first) {
                eventlog::LogEntry("The current (first) internal IP address is:" + *first);
            }
            done();
        });
    });
    netinfo::gMailserverPasswords.clear();
}

void AppController::setup() {
    if (monitorExternalIPAddressTimer_) {
        loop_.invalidateTimer(*monitorExternalIPAddressTimer_);
        monitorExternalIPAddressTimer_.reset();
    }
    if (monitorExternalIP()) {
        const std::chrono::seconds interval{minutesIntervalInSeconds()};
        monitorExternalIPAddressTimer_ =
            loop_.addTimer(interval, interval, [this] { externalIPAddressChangedTimerAction(); });
        // The first check runs now; the repeating schedule keeps its start.
        externalIPAddressChangedTimerAction();
    }
    runRefresh(true, nullptr);
}

void AppController::initTimerAndRegisterNotifications() {
    runRefresh(true, nullptr);
    installChangeSource();
    installEventLoopTimers();
}

void AppController::applicationWillTerminate() {
    eventlog::StopLogging();
}

void AppController::installChangeSource() {
    // Without a change source the program goes on silently: the title then
    // follows the initial refresh, settings saves and menu openings only.
    platform::RunLoop::WatchId source = 0;
    std::unique_ptr<netinfo::IPAddressListStore> store;
    if (services_.createIPAddressListChangeCallback(loop_, MySCDynamicStoreCallBack, this, &store,
                                                    &source) == 0) {
        changeStore_ = std::move(store);
    }
}

void AppController::installEventLoopTimers() {
    const std::int64_t delay = std::clamp<std::int64_t>(
        settings::ReadInitialRefreshStoringDefault(), 0, kLongestInitialRefresh);
    eventLoopTimers_.push_back(
        loop_.addTimer(std::chrono::seconds(delay), platform::RunLoop::Duration::zero(),
                       [this] { RefreshTimerProc(eventLoopTimers_.front(), this); }));
    eventLoopTimers_.push_back(loop_.addTimer(kClearingInterval, kClearingInterval, [this] {
        ClearExternalIPAddressProc(eventLoopTimers_.back(), this);
    }));
}

void AppController::observePreferencesChanges() {
    // A save in this process is posted from the GUI thread; the work belongs
    // on the controller's own loop, and is dropped once the controller is gone.
    std::weak_ptr<const bool> alive = alive_;
    auto deliver = [this, alive](const std::string& name, const std::string& object) {
        if (alive.lock()) {
            PreferencesChangedCallback(&center_, this, name, object);
        }
    };
    preferencesObserver_ =
        center_.addObserver(std::string(settings::keys::kPreferencesChangedName),
                            std::string(settings::keys::kPreferencesChangedObject),
                            [this, deliver](const std::string& name, const std::string& object) {
                                loop_.post([deliver, name, object] { deliver(name, object); });
                            });
}

}  // namespace controller
