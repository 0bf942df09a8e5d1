#pragma once

#include <cstdint>
#include <memory>

#include "netinfo/InterfaceAddressList.h"
#include "platform/RunLoop.h"

namespace netinfo {

// Change notification for the address list: a lasting subscription to the
// kernel's IPv4 address, link and route events.
class IPAddressListStore;

// Runs on the run loop with the context pointer given at installation.
// store->addresses() is then the list of the very look that found the
// change: use it rather than dumping the kernel's state again, which could
// give a list newer than the change being reported (its own change follows).
using IPAddressListChangeCallback = void (*)(IPAddressListStore* store, void* context);

class IPAddressListStore {
public:
    ~IPAddressListStore();  // stops watching; no callback after this
    IPAddressListStore(const IPAddressListStore&) = delete;
    IPAddressListStore& operator=(const IPAddressListStore&) = delete;

    // The list as of the last look.
    const AddressList& addresses() const;

private:
    friend std::int32_t CreateIPAddressListChangeCallbackSCF(platform::RunLoop&,
                                                             IPAddressListChangeCallback, void*,
                                                             std::unique_ptr<IPAddressListStore>*,
                                                             platform::RunLoop::WatchId*);
    struct Impl;
    explicit IPAddressListStore(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Subscribes to changes and watches them on runLoop. From then on, callback
// runs on that loop whenever the address list (contents or order) has
// really changed, or a link gained or lost carrier (even when that leaves
// the list as it was: a Wi-Fi network switch keeps its address); events that
// change neither (a lifetime update) call nothing. The first event after a quiet spell is looked at
// at once (possibly inside the loop's wake-up for it); later ones within a few milliseconds share
// one more look, so the last state is always reported. A look at the list that fails is retried
// for a while, so the last change is reported even when no further event follows. On success
// returns 0 with the store through storeRef and its run-loop watch through sourceRef; the watch
// ends when the store is destroyed. On failure returns the error and stores nothing.
std::int32_t CreateIPAddressListChangeCallbackSCF(platform::RunLoop& runLoop,
                                                  IPAddressListChangeCallback callback,
                                                  void* context,
                                                  std::unique_ptr<IPAddressListStore>* storeRef,
                                                  platform::RunLoop::WatchId* sourceRef);

}  // namespace netinfo
