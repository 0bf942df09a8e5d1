#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/AppControllerServices.h"
#include "controller/Desktop.h"
#include "controller/LogSequencer.h"
#include "controller/MailThrottle.h"
#include "controller/MenuModel.h"
#include "controller/StatusItem.h"
#include "netinfo/BackgroundPageFetch.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

namespace controller {

// The spine of the program: owns the status item's title, image and menu,
// keeps the process-wide address state and installs every event source
// (timers, address changes, settings saves). Everything runs on the loop's
// thread, one handler at a time, and no handler waits on the network: what
// the user sees (title, icon, menu, published state) is set at once, and the
// log lines, settings writes, notifications and e-mails that may wait for a
// look-up run as jobs of a LogSequencer, so each job's lines keep their order
// and two jobs never interleave. Exactly one instance exists in the program.
class AppController {
public:
    // used by src/app: everything runs on `loop`'s thread.
    AppController(platform::RunLoop& loop, platform::NotificationCenter& center, StatusItem& item,
                  Desktop& desktop);
    AppController(platform::RunLoop& loop, platform::NotificationCenter& center, StatusItem& item,
                  Desktop& desktop, const AppControllerServices& services);
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    void init();                                 // used by src/app: the start-up sequence
    void applicationWillTerminate();             // used by src/app: once, before the program ends
    void menuNeedsUpdate();                      // used by src/app: the menu is about to open
    void performAction(const MenuItem& sender);  // used by src/app: an item was chosen

    // Start-up and timers
    void setup();
    void initTimerAndRegisterNotifications();

    // Refresh cycle. A refresh asked for while another one is queued and not
    // yet started joins that one (a burst of requests costs one refresh).
    void refresh(bool rebuildMenu);
    // looked: the list the change source has just read, when it hands one on.
    void ipAddressChanged(const netinfo::AddressList* looked = nullptr);

    // Title and icon
    void setTitle(const std::string& title, bool withIcon);
    bool titleIconOnly() const;
    bool displayChangedIconWhenAddressChangeDetected() const;
    bool includeMachineNameInTitle() const;
    bool includeCurrentWirelessNetworkInTitle() const;

    // External address monitor. done gets the external address, or "-.-.-.-"
    // (also when the lookup was cut short by quitting: see lookupCutShort).
    using AddressDone = std::function<void(const std::string& address)>;
    void externalIP(AddressDone done);
    void externalIPAddressChangedTimerAction();
    bool monitorExternalIP() const;
    bool sendEmailNotifications() const;
    std::string lastExternalIPAddress() const;
    std::int16_t minutesInterval() const;
    std::int16_t minutesIntervalInSeconds() const;

    // Status menu and its commands
    void buildMenu();
    bool validateMenuItem(const MenuItem& item) const;
    void selItemCopyDNSName(const MenuItem& sender);
    void selItemCopyExternalDNSName(const MenuItem& sender);
    void selItemCopyAddress(const MenuItem& sender);
    void selItemCopyExternalAddress(const MenuItem& sender);
    void selItemCopySelectedAddress(const MenuItem& sender);
    void selItemPreferences(const MenuItem& sender);
    void selItemOpenConsoleLog(const MenuItem& sender);
    void selItemAbout(const MenuItem& sender);
    void selItemQuit(const MenuItem& sender);

    // The external monitor's repeating timer; none while monitoring is off.
    std::optional<platform::RunLoop::TimerId> monitorTimer() const {
        return monitorExternalIPAddressTimer_;
    }

    // Empties the cached external address (the clearing timer's work).
    void clearExternalIPAddress();
    // A check asked for from outside: the lookup service is asked afresh,
    // except while a check is running (it serves) or shortly after one.
    void checkExternalIPAddressNow();
    static constexpr std::chrono::seconds kCheckReuse{3};
    // How long a log job holds the ones behind it, and how long a refresh
    // waits for the first address's name before it logs without one.
    static constexpr platform::RunLoop::Duration kHoldBound{1500};
    static constexpr platform::RunLoop::Duration kLookupBound{1200};

private:
    struct RefreshFacts;
    // The refresh cycle: what is shown at once, then the job that logs it.
    void runRefresh(bool rebuildMenu, const netinfo::AddressList* looked);
    std::shared_ptr<RefreshFacts> showRefresh(const netinfo::AddressList* looked);
    void logRefresh(const std::shared_ptr<const RefreshFacts>& facts, LogSequencer::Done done);
    void logFirstAddress(const RefreshFacts& facts, const std::optional<std::string>& name);
    // Sets the text title; answers the wireless name it carries, if any.
    std::optional<std::string> showTitle(const std::string& title, bool withIcon);
    // The external check: its lines once the address is known.
    void logExternalCheck(const std::string& current);
    void lookupAt(std::vector<std::string> urls, std::size_t next);
    void lookupDone(const std::string& address);
    // Answers on the loop within kLookupBound, with nothing when none came.
    void nameFor(const std::string& address, AppControllerServices::TextDone done);
    // Work posted for later that must not reach a controller that has gone.
    template <typename F>
    auto guarded(F f) {
        return
            [alive = std::weak_ptr<const bool>(alive_), f = std::move(f)](auto&&... args) mutable {
                if (alive.lock()) {
                    f(std::forward<decltype(args)>(args)...);
                }
            };
    }
    void publishAddressItems();
    // The change-icon steps after a detected change (the caller tests the setting).
    void showChangeIcon();
    void retitleMenuItem(std::size_t position, const std::string& title);
    void publishMenu();
    void publishState();
    // Tells the desktop of a change when the user wants that.
    void notifyDesktop(mail::MailKind kind, const std::optional<std::string>& oldAddress,
                       const std::string& newAddress);
    void sendEmailAlerts(const MailThrottle::Change& change, mail::MailKind kind);
    std::unique_ptr<MailThrottle> makeThrottle(mail::MailKind kind);
    void logNextExternalCheck();
    // The program is ending and the external lookup was cut short before any
    // service answered: there is nothing true to report.
    bool lookupCutShort() const;
    void installChangeSource();
    void installEventLoopTimers();
    void observePreferencesChanges();

    platform::RunLoop& loop_;
    platform::NotificationCenter& center_;
    StatusItem& item_;
    Desktop& desktop_;
    AppControllerServices services_;

    std::shared_ptr<Menu> menu_;  // null until the first buildMenu
    std::optional<platform::RunLoop::TimerId> monitorExternalIPAddressTimer_;
    // The lookup URL that gave the cached address last, if any did.
    std::optional<std::string> answeringLookupURL_;

    // The cached external address's lookup in progress and who waits for it.
    bool lookupRunning_ = false;
    std::vector<AddressDone> lookupWaiters_;
    int checksWaiting_ = 0;  // external checks asked for and not yet answered
    std::optional<platform::RunLoop::TimePoint> lastCheckDone_;
    std::size_t refreshesWaiting_ = 0;  // refresh jobs queued and not started

    std::unique_ptr<netinfo::BackgroundPageFetch> pageFetch_;  // when services give none
    LogSequencer log_;
    std::unique_ptr<MailThrottle> internalMail_;
    std::unique_ptr<MailThrottle> externalMail_;

    // Kept only so that a controller that ends before the process (in tests)
    // leaves nothing behind on the loop.
    std::vector<platform::RunLoop::TimerId> eventLoopTimers_;
    std::unique_ptr<netinfo::IPAddressListStore> changeStore_;
    platform::NotificationCenter::ObserverId preferencesObserver_ = 0;
    // Posted work checks this so that it never reaches a controller that has gone.
    std::shared_ptr<const bool> alive_;
};

}  // namespace controller
