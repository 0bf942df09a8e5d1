#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace platform {

// The pretty host name that systemd-hostnamed publishes on the system bus.
// Nothing when there is no system bus, hostnamed is away or gives no answer
// within timeout, or the name is unset.
std::optional<std::string> QueryPrettyHostname(
    std::chrono::milliseconds timeout = std::chrono::milliseconds(500));

// Makes CopyMachineName() ask hostnamed before it reads /etc/machine-info.
void InstallPrettyHostnameQuery();

}  // namespace platform
