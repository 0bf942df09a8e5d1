#include "netinfo/AddressChangeSource.h"

#include <linux/rtnetlink.h>

#include <map>
#include <new>

#include "netinfo/LookScheduler.h"
#include "netinfo/NetlinkSocket.h"
#include "netinfo/Require.h"

namespace netinfo {

namespace {

// Each look takes its own short-lived socket, so a dump that failed half
// way can leave nothing behind for the next one to read.
std::optional<NetworkState> DumpFreshState(int* error) {
    NetlinkSocket connection;
    auto state = connection.dumpState();
    if (!state) {
        *error = connection.error();
    }
    return state;
}

// Which links have carrier, by index: a change here matters to the caller
// (a Wi-Fi network switch keeps its address) even when the list stays.
using CarrierMap = std::map<int, bool>;

CarrierMap CarriersOf(const std::vector<LinkRecord>& links) {
    CarrierMap carriers;
    for (const LinkRecord& link : links) {
        carriers[link.index] = HasCarrier(link);
    }
    return carriers;
}

}  // namespace

struct IPAddressListStore::Impl {
    Impl(platform::RunLoop& loop, IPAddressListChangeCallback cb, void* ctx)
        : runLoop(loop),
          callback(cb),
          context(ctx),
          events(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE),
          scheduler(loop, [this] { return look(); }) {}

    // Every wake-up empties the socket, overflow included: whatever was
    // lost, the look that follows reads the whole state afresh. A carrier
    // that went and came back before the look still counts as a change.
    void eventsArrived() {
        NetworkState seen;
        events.drain(&seen);
        // Every record counts, not just the last one of each link.
        for (const LinkRecord& link : seen.links) {
            const auto known = carriers.find(link.index);
            carrierFlapped =
                carrierFlapped || (known != carriers.end() && known->second != HasCarrier(link));
        }
        // Last statement: it may look at once, and the callback may destroy the store.
        scheduler.eventArrived();
    }

    bool look() {
        int error = 0;
        auto state = DumpFreshState(&error);
        if (!state) {
            return false;
        }
        AddressList fresh = BuildAddressList(*state);
        CarrierMap freshCarriers = CarriersOf(state->links);
        const bool changed = fresh != current || freshCarriers != carriers || carrierFlapped;
        carriers = std::move(freshCarriers);
        carrierFlapped = false;
        if (changed) {
            current = std::move(fresh);
            // Last statement: the callback may destroy the store.
            callback(owner, context);
        }
        return true;
    }

    platform::RunLoop& runLoop;
    IPAddressListChangeCallback callback;
    void* context;
    IPAddressListStore* owner = nullptr;
    NetlinkSocket events;
    AddressList current;
    CarrierMap carriers;
    bool carrierFlapped = false;
    platform::RunLoop::WatchId watch = 0;
    LookScheduler scheduler;
};

IPAddressListStore::IPAddressListStore(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
    impl_->owner = this;
}

IPAddressListStore::~IPAddressListStore() {
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
        std::optional<NetworkState> state;
        int error = 0;
        if (!impl->events.valid()) {
            err = StatusFromErrno(impl->events.error());
        } else if (!(state = DumpFreshState(&error))) {
            err = StatusFromErrno(error);
        } else {
            impl->current = BuildAddressList(*state);
            impl->carriers = CarriersOf(state->links);
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

}  // namespace netinfo
