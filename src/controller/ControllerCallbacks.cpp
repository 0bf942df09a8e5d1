#include "controller/ControllerCallbacks.h"

#include "controller/AppController.h"

namespace controller {

void MySCDynamicStoreCallBack(netinfo::IPAddressListStore* /*store*/, void* context) {
    static_cast<AppController*>(context)->ipAddressChanged();
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
