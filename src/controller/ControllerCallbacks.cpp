#include "controller/ControllerCallbacks.h"

#include "controller/AppController.h"
#include "netinfo/AddressChangeSource.h"

namespace controller {

void MySCDynamicStoreCallBack(netinfo::IPAddressListStore* store, void* context) {
    // The store has just looked at the list: that look serves the refresh.
    static_cast<AppController*>(context)->ipAddressChanged(store ? &store->addresses() : nullptr);
}

void RefreshTimerProc(platform::RunLoop::TimerId /*timer*/, void* userData) {
    static_cast<AppController*>(userData)->refresh(false);
}

void ClearExternalIPAddressProc(platform::RunLoop::TimerId /*timer*/, void* userData) {
    static_cast<AppController*>(userData)->clearExternalIPAddress();
}

void PreferencesChangedCallback(platform::NotificationCenter* /*center*/, void* observer,
                                const std::string& /*name*/, const std::string& /*object*/) {
    static_cast<AppController*>(observer)->setup();
}

}  // namespace controller
