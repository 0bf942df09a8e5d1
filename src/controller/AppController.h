#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/AppControllerServices.h"
#include "controller/Desktop.h"
#include "controller/MenuModel.h"
#include "controller/StatusItem.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

namespace controller {

// The spine of the program: owns the status item's title, image and menu,
// keeps the process-wide address state and installs every event source
// (timers, address changes, settings saves). Everything runs on the loop's
// thread, one handler at a time; handlers may wait on the bounded page
// fetch, reverse look-up and wireless look-up so log lines keep their order.
// Exactly one instance exists in the program.
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

    // Refresh cycle
    void refresh(bool rebuildMenu);
    void ipAddressChanged();

    // Title and icon
    void setTitle(const std::string& title, bool withIcon);
    bool titleIconOnly() const;
    bool displayChangedIconWhenAddressChangeDetected() const;
    bool includeMachineNameInTitle() const;
    bool includeCurrentWirelessNetworkInTitle() const;

    // External address monitor
    std::string externalIP();
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
        return m_monitorExternalIPAddressTimer;
    }

    // Empties the cached external address (the clearing timer's work).
    void clearExternalIPAddress();
    // A check asked for from outside: the lookup service is asked afresh.
    void checkExternalIPAddressNow();

private:
    // Parts of the refresh cycle.
    void showNoAddress();
    void showFirstAddress(const std::string& firstAddress);
    // Stores, logs and mails a change of the first address.
    void noteFirstAddress(const std::string& firstAddress,
                          const std::optional<std::string>& oldAddress);
    // The change-icon steps after a detected change (the caller tests the setting).
    void showChangeIcon();
    void retitleMenuItem(std::size_t position, const std::string& title);
    void publishMenu();
    void publishState();
    // Stamps the change's time and tells the desktop when the user wants that.
    enum class AddressKind { Internal, External };
    void noteAddressChange(AddressKind kind, const std::optional<std::string>& oldAddress,
                           const std::string& newAddress);
    void sendEmailAlerts(const std::string& newAddress,
                         const std::optional<std::string>& oldAddress, const std::string& message);
    void logNextExternalCheck();
    // The program is ending and the external lookup was cut short before any
    // service answered: there is nothing true to report.
    bool lookupCutShort() const;
    void installChangeSource();
    void installEventLoopTimers();
    void observePreferencesChanges();

    platform::RunLoop& loop_;
    platform::NotificationCenter& center_;
    StatusItem& m_item;
    Desktop& desktop_;
    AppControllerServices services_;

    std::shared_ptr<Menu> m_menu;  // null until the first buildMenu
    std::optional<platform::RunLoop::TimerId> m_monitorExternalIPAddressTimer;
    // The lookup URL that gave the cached address last, if any did.
    std::optional<std::string> answeringLookupURL_;

    // Kept only so that a controller that ends before the process (in tests)
    // leaves nothing behind on the loop.
    std::vector<platform::RunLoop::TimerId> eventLoopTimers_;
    std::unique_ptr<netinfo::IPAddressListStore> changeStore_;
    platform::NotificationCenter::ObserverId preferencesObserver_ = 0;
    // Posted work checks this so that it never reaches a controller that has gone.
    std::shared_ptr<const bool> alive_;
};

}  // namespace controller
