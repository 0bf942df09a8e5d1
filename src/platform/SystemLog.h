#pragma once

#include <string_view>

namespace platform {

// Hands one line to the system log (journald/syslog), and to stderr when
// stderr is a terminal. The text is data, never a format.
void WriteToSystemLog(std::string_view text);

}  // namespace platform
