#include "controller/AppControllerServices.h"

#include "log/ApplicationSupport.h"
#include "mail/SSMTP.h"
#include "netinfo/HostNameLookup.h"
#include "netinfo/WirelessNetwork.h"
#include "platform/MachineName.h"

namespace controller {

AppControllerServices::ReverseLookup AppControllerServices::DefaultReverseLookup() {
    auto cache = std::make_shared<netinfo::HostNameCache>();
    return [cache](const std::string& address, platform::RunLoop& loop, TextDone done) {
        cache->nameFor(address, loop, std::move(done));
    };
}

std::optional<std::string> AppControllerServices::DefaultCurrentWirelessNetwork() {
    return netinfo::GetCurrentWirelessNetwork();
}

std::optional<std::string> AppControllerServices::DefaultCopyMachineName() {
    return platform::CopyMachineName();
}

void AppControllerServices::DefaultStartMail(platform::RunLoop& loop, const MailAlert& alert) {
    const auto sender = mail::SSMTP::create(loop);
    sender->setKind(alert.kind);
    sender->sendMessage(alert.newAddress, alert.oldAddress, alert.recipient, alert.message);
}

void AppControllerServices::DefaultOpenConsole() {
    eventlog::OpenConsole();
}

std::string AppControllerServices::DefaultBundleShortVersion() {
    return ORBALEN_VERSION;
}

}  // namespace controller
