#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace eventlog {

// The one logging call: writes a finished text to the system log and to the
// private log file, as the two user defaults allow. A null message is ignored.
void LogEntry(const char* message);
inline void LogEntry(const std::string& message) {
    LogEntry(message.c_str());
}

void StartLogging();
void StopLogging();
bool LogToSystemConsole();
bool LogToPrivateConsoleLog();

// Also hands every entry, as the caller passed it and whatever the two
// defaults say, to observer on the caller's thread, until it is replaced or
// cleared with nullptr. How the tests of every layer see what was logged.
void SetEventLogObserver(std::function<void(std::string_view)> observer);

}  // namespace eventlog
