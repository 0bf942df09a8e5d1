#pragma once

#include <string>

#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

namespace netinfo {
class IPAddressListStore;
}

// The plain functions the platform calls, each leading its event back into
// the controller given as context, user data or observer.
namespace controller {

// An address change notice: ipAddressChanged() with the store's fresh list.
void MySCDynamicStoreCallBack(netinfo::IPAddressListStore* store, void* context);
// The one-shot initial refresh: refresh(false).
void RefreshTimerProc(platform::RunLoop::TimerId timer, void* userData);
// Every 300 seconds: empties the cached external address.
void ClearExternalIPAddressProc(platform::RunLoop::TimerId timer, void* userData);
// A settings save: setup().
void PreferencesChangedCallback(platform::NotificationCenter* center, void* observer,
                                const std::string& name, const std::string& object);

}  // namespace controller
