#include "netinfo/AddressChangeSource.h"

#include <linux/rtnetlink.h>

#include <new>

#include "netinfo/NetlinkSocket.h"
#include "netinfo/Require.h"

struct IPAddressListStore::Impl {
    Impl(platform::RunLoop& loop, IPAddressListChangeCallback cb, void* ctx)
        : runLoop(loop),
          callback(cb),
          context(ctx),
          events(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE) {}

    // Every wake-up empties the socket, overflow included: whatever was
    // lost, the look that follows reads the whole state afresh.
    void eventsArrived() {
        events.drain();
        if (settleTimer == 0) {
            settleTimer = runLoop.addTimer(kSettleDelay, {}, [this] { settle(); });
        }
    }

    void settle() {
        settleTimer = 0;
        auto state = requests.dumpState();
        if (!state) {
            return;  // the next event looks again
        }
        AddressList fresh = netinfo::BuildAddressList(*state);
        if (fresh == current) {
            return;
        }
        current = std::move(fresh);
        // Last statement: the callback may destroy the store.
        callback(owner, context);
    }

    platform::RunLoop& runLoop;
    IPAddressListChangeCallback callback;
    void* context;
    IPAddressListStore* owner = nullptr;
    netinfo::NetlinkSocket events;
    netinfo::NetlinkSocket requests;
    AddressList current;
    platform::RunLoop::WatchId watch = 0;
    platform::RunLoop::TimerId settleTimer = 0;
};

IPAddressListStore::IPAddressListStore(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
    impl_->owner = this;
}

IPAddressListStore::~IPAddressListStore() {
    if (impl_->settleTimer != 0) {
        impl_->runLoop.invalidateTimer(impl_->settleTimer);
    }
    if (impl_->watch != 0) {
        impl_->runLoop.removeWatch(impl_->watch);
    }
}

const AddressList& IPAddressListStore::addresses() const {
    return impl_->current;
}

std::int32_t CreateIPAddressListChangeCallbackSCF(platform::RunLoop& runLoop,
                                                  IPAddressListChangeCallback callback,
                                                  void* context,
                                                  std::unique_ptr<IPAddressListStore>* storeRef,
                                                  platform::RunLoop::WatchId* sourceRef) {
    NETINFO_REQUIRE(callback != nullptr, "callback != NULL");
    NETINFO_REQUIRE(storeRef != nullptr, "storeRef != NULL");
    NETINFO_REQUIRE(*storeRef == nullptr, "*storeRef == NULL");
    NETINFO_REQUIRE(sourceRef != nullptr, "sourceRef != NULL");
    NETINFO_REQUIRE(*sourceRef == 0, "*sourceRef == NULL");

    std::int32_t err = 0;
    try {
        auto impl = std::make_unique<IPAddressListStore::Impl>(runLoop, callback, context);
        // Subscribe before the first look so that no change falls between.
        std::optional<netinfo::NetworkState> state;
        if (!impl->events.valid()) {
            err = netinfo::StatusFromErrno(impl->events.error());
        } else if (!(state = impl->requests.dumpState())) {
            err = netinfo::StatusFromErrno(impl->requests.error());
        } else {
            impl->current = netinfo::BuildAddressList(*state);
            IPAddressListStore::Impl* raw = impl.get();
            storeRef->reset(new IPAddressListStore(std::move(impl)));
            raw->watch = runLoop.watchReadable(raw->events.fd(), [raw] { raw->eventsArrived(); });
            *sourceRef = raw->watch;
        }
    } catch (const std::bad_alloc&) {
        storeRef->reset();
        *sourceRef = 0;
        err = kAddressListNoMemory;
    }

    NETINFO_REQUIRE((err == 0) == (*storeRef != nullptr), "(err == noErr) == (*storeRef != NULL)");
    NETINFO_REQUIRE((err == 0) == (*sourceRef != 0), "(err == noErr) == (*sourceRef != NULL)");
    return err;
}
