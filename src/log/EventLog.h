#pragma once

#include <string>

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
