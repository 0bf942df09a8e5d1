#pragma once

#include <functional>
#include <string_view>

namespace platform {

// Hands one line to the system log (journald/syslog), and to stderr when
// stderr is a terminal. The text is data, never a format; its control
// characters are escaped (see base/ControlCharacters.h), so it stays one line.
void WriteToSystemLog(std::string_view text);

// Also hands every line to observer, until it is replaced or cleared with
// nullptr. Lets tests see what reached the system log.
void SetSystemLogObserver(std::function<void(std::string_view)> observer);

}  // namespace platform
