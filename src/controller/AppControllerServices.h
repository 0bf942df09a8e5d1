#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mail/SSMTP.h"
#include "netinfo/AddressChangeSource.h"
#include "netinfo/FetchCancel.h"
#include "netinfo/InterfaceAddressList.h"
#include "platform/RunLoop.h"

namespace controller {

// One notification e-mail to one recipient, as the sender takes it.
struct MailAlert {
    std::string newAddress;
    std::optional<std::string> oldAddress;
    std::string recipient;
    std::string message;  // "%@" stand for machine name, old and new address
    mail::MailKind kind = mail::MailKind::Internal;
};

// The outside services the controller calls (address list and its change
// source, page fetch, reverse look-up, wireless name, machine name, mail,
// the log viewer, the wall clock). Each member defaults to the real service;
// tests replace them.
struct AppControllerServices {
    using CopyAddressList = std::function<std::int32_t(std::unique_ptr<netinfo::AddressList>*)>;
    using CreateChangeSource = std::function<std::int32_t(
        platform::RunLoop&, netinfo::IPAddressListChangeCallback, void*,
        std::unique_ptr<netinfo::IPAddressListStore>*, platform::RunLoop::WatchId*)>;
    // The asynchronous look-ups answer through done, on the loop and never
    // inside the call; nothing (no page, no name) when they fail.
    using TextDone = std::function<void(std::optional<std::string>)>;
    using FetchPage = std::function<void(const std::string& url, TextDone done)>;
    using ReverseLookup =
        std::function<void(const std::string& address, platform::RunLoop& loop, TextDone done)>;
    using OptionalText = std::function<std::optional<std::string>()>;
    using StartMail = std::function<void(platform::RunLoop&, const MailAlert&)>;
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    CopyAddressList copyIPAddressList = netinfo::CopyIPAddressListSCF;
    CreateChangeSource createIPAddressListChangeCallback =
        netinfo::CreateIPAddressListChangeCallbackSCF;
    // One fetch at a time. None: the controller fetches on a worker of its
    // own (netinfo::BackgroundPageFetch) that watches fetchCancel.
    FetchPage fetchPage;
    // Cancelled from any thread when the program starts ending: the fetch in
    // progress ends, no lookup starts, and a check cut short reports nothing.
    // Copies of the services share it.
    std::shared_ptr<netinfo::FetchCancel> fetchCancel = std::make_shared<netinfo::FetchCancel>();
    // Shares one host-name cache between copies of the services.
    ReverseLookup reverseLookup = DefaultReverseLookup();
    OptionalText currentWirelessNetwork = DefaultCurrentWirelessNetwork;
    OptionalText copyMachineName = DefaultCopyMachineName;
    // Starts one sender and lets it go; the caller does not wait for it.
    StartMail startMail = DefaultStartMail;
    std::function<void()> openConsole = DefaultOpenConsole;
    WallClock wallClock = std::chrono::system_clock::now;

    std::string bundleName = "OrbalenStatus";
    std::string bundleShortVersion = DefaultBundleShortVersion();

    static ReverseLookup DefaultReverseLookup();
    static std::optional<std::string> DefaultCurrentWirelessNetwork();
    static std::optional<std::string> DefaultCopyMachineName();
    static void DefaultStartMail(platform::RunLoop& loop, const MailAlert& alert);
    static void DefaultOpenConsole();
    static std::string DefaultBundleShortVersion();
};

}  // namespace controller
