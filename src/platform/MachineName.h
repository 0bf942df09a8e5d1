#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The computer's name as the user knows it: the pretty host name that
// systemd-hostnamed reports, else PRETTY_HOSTNAME in /etc/machine-info, else
// the kernel's host name. Never empty ("localhost" as the last resort).
// An answer is reused for a second, so a burst of callers pays for one look-up.
std::string CopyMachineName();

// The first link of the chain needs a bus connection, which only the desktop
// layer has; it installs its query here. Without one the chain starts at
// /etc/machine-info. The query must answer quickly (it runs on the caller's
// thread) and give nothing when the name is unset or the service is away.
using PrettyHostnameQuery = std::function<std::optional<std::string>()>;
void SetPrettyHostnameQuery(PrettyHostnameQuery query);

// PRETTY_HOSTNAME from the text of a machine-info file (environment-file
// syntax: KEY=VALUE lines, "#" comments, values optionally quoted).
std::optional<std::string> PrettyHostnameFromMachineInfo(std::string_view text);

}  // namespace platform
