#include "netinfo/WirelessNetwork.h"

#include "base/Utf8.h"
#include "log/EventLog.h"
#include "netinfo/ReportFile.h"
#include "netinfo/WirelessReport.h"
#include "platform/Folders.h"

namespace netinfo {

std::optional<std::string> GetCurrentWirelessNetwork() {
    eventlog::LogEntry("Looking up wireless network name...");
    const auto folder = platform::UserTemporaryFolder();
    if (!folder) {
        return std::nullopt;
    }
    const auto report = CopyWirelessReport();
    if (!report || !WriteReportFile(*folder, *report)) {
        return std::nullopt;
    }
    const auto bytes = ReadReportFile(*folder);
    if (!bytes) {
        return std::nullopt;
    }
    return ExtractWirelessNetworkName(base::DecodeLegacyText(*bytes));
}

}  // namespace netinfo
