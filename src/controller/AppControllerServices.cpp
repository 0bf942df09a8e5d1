#include "controller/AppControllerServices.h"

#include "log/ApplicationSupport.h"
#include "mail/SSMTP.h"
#include "netinfo/HostNameLookup.h"
#include "netinfo/PageFetch.h"
#include "netinfo/WirelessNetwork.h"
#include "platform/MachineName.h"

namespace controller {

std::optional<std::string> AppControllerServices::DefaultDownloadURL(
    std::string_view url, const netinfo::FetchCancel& cancel) {
    return netinfo::DownloadURL(url, {.cancel = &cancel});
}

AppControllerServices::ReverseLookup AppControllerServices::DefaultReverseLookup() {
    auto cache = std::make_shared<netinfo::HostNameCache>();
    return [cache](const std::string& address) { return cache->nameFor(address); };
}

std::optional<std::string> AppControllerServices::DefaultCurrentWirelessNetwork() {
    return netinfo::GetCurrentWirelessNetwork();
}

std::optional<std::string> AppControllerServices::DefaultCopyMachineName() {
    return platform::CopyMachineName();
}

void AppControllerServices::DefaultStartMail(platform::RunLoop& loop, const MailAlert& alert) {
    mail::SSMTP::create(loop)->sendMessage(alert.newAddress, alert.oldAddress, alert.recipient,
                                           alert.message);
}

void AppControllerServices::DefaultOpenConsole() {
    eventlog::OpenConsole();
}

std::string AppControllerServices::DefaultBundleShortVersion() {
    return ORBALEN_VERSION;
}

}  // namespace controller
