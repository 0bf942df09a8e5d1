#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "controller/AppControllerServices.h"

namespace testing_support {

// Stands in for the kernel's address list and its change notices: each read
// answers the list set last (or fails when none is set), and notify() calls
// the installed change callback as the loop would.
class ScriptedAddressSource {
public:
    void answer(netinfo::AddressList list) { list_ = std::move(list); }
    void failReads() { list_.reset(); }
    void failChangeSource() { changeSourceStatus_ = netinfo::kAddressListGenericFailure; }

    bool changeSourceInstalled() const { return callback_ != nullptr; }
    void notify() const {
        if (callback_) {
            callback_(nullptr, context_);
        }
    }

    void wireInto(controller::AppControllerServices& services) {
        services.copyIPAddressList =
            [this](std::unique_ptr<netinfo::AddressList>* out) -> std::int32_t {
            if (!list_) {
                return netinfo::kAddressListGenericFailure;
            }
            *out = std::make_unique<netinfo::AddressList>(*list_);
            return 0;
        };
        services.createIPAddressListChangeCallback =
            [this](platform::RunLoop&, netinfo::IPAddressListChangeCallback callback, void* context,
                   std::unique_ptr<netinfo::IPAddressListStore>*, platform::RunLoop::WatchId*) {
                if (changeSourceStatus_ == 0) {
                    callback_ = callback;
                    context_ = context;
                }
                return changeSourceStatus_;
            };
    }

private:
    std::optional<netinfo::AddressList> list_;
    std::int32_t changeSourceStatus_ = 0;
    netinfo::IPAddressListChangeCallback callback_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace testing_support
