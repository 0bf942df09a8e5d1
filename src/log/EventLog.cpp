#include "log/EventLog.h"

#include <memory>
#include <mutex>

#include "base/CString256.h"
#include "base/ControlCharacters.h"
#include "base/Conversions.h"
#include "log/ApplicationSupport.h"
#include "log/CLog.h"
#include "platform/SystemLog.h"
#include "settings/Readers.h"

namespace eventlog {

// The one log file writer of the process; null outside StartLogging/StopLogging.
CLog* gLogger = nullptr;

namespace {

// Entries may come from any thread; the file sees them one at a time.
std::mutex gLoggerMutex;

std::mutex gObserverMutex;
std::function<void(std::string_view)> gObserver;

// An entry line holds 255 bytes, its line feed included.
constexpr std::size_t kLineCapacity = 255;

// One entry, one line: control characters in the message are escaped.
std::string EntryLine(const char* message) {
    const std::string text = "[" + LogDateDescription() + "] " + message;
    return base::EscapeControlCharacters(text, kLineCapacity - 1) + '\n';
}

}  // namespace

bool LogToSystemConsole() {
    return settings::ReadLogToSystemConsole();
}

bool LogToPrivateConsoleLog() {
    return settings::ReadLogToPrivateConsoleLog();
}

void SetEventLogObserver(std::function<void(std::string_view)> observer) {
    std::lock_guard lock(gObserverMutex);
    gObserver = std::move(observer);
}

void LogEntry(const char* message) {
    if (!message) {
        return;
    }
    {
        std::lock_guard lock(gObserverMutex);
        if (gObserver) {
            gObserver(message);
        }
    }
    if (LogToSystemConsole()) {
        platform::WriteToSystemLog(message);
    }
    std::lock_guard lock(gLoggerMutex);
    if (!gLogger || !LogToPrivateConsoleLog()) {
        return;
    }
    gLogger->Write_Entry(EntryLine(message).c_str());
}

void StartLogging() {
    std::lock_guard lock(gLoggerMutex);
    if (gLogger) {
        return;  // already logging: keep the open file and its one start line
    }
    std::filesystem::path folder;
    if (!GetOurApplicationSupportFolder(folder)) {
        return;
    }
    std::string path = (folder / kLogFileName).string();
    // The colon-separated form holds 255 bytes; a longer path is used as it
    // is rather than cut into the name of some other file.
    if (path.size() <= base::CString256::kCapacity) {
        base::CString256 converted(path.c_str());
        base::ConvertPosixPathToHFSPath(converted);
        path = converted.c_str();
    }
    auto logger = std::make_unique<CLog>();
    logger->OpenLogFile(path.c_str());
    gLogger = logger.release();
}

void StopLogging() {
    std::lock_guard lock(gLoggerMutex);
    if (!gLogger) {
        return;
    }
    gLogger->CloseLogFile();
    delete gLogger;
    gLogger = nullptr;
}

}  // namespace eventlog
