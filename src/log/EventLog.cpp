#include "log/EventLog.h"

#include <memory>
#include <mutex>

#include "foundation/CString256.h"
#include "foundation/Conversions.h"
#include "foundation/Utf8.h"
#include "log/ApplicationSupport.h"
#include "log/CLog.h"
#include "platform/SystemLog.h"
#include "settings/Readers.h"

// The one log file writer of the process; null outside StartLogging/StopLogging.
CLog* gLogger = nullptr;

namespace {

// Entries may come from any thread; the file sees them one at a time.
std::mutex gLoggerMutex;

// An entry line holds 255 bytes, its line feed included.
constexpr std::size_t kLineCapacity = 255;

std::string EntryLine(const char* message) {
    const std::string text = "[" + LogDateDescription() + "] " + message;
    std::string line(foundation::CutToCharacterBoundary(text, kLineCapacity - 1));
    line += '\n';
    return line;
}

}  // namespace

bool LogToSystemConsole() {
    return settings::ReadLogToSystemConsole();
}

bool LogToPrivateConsoleLog() {
    return settings::ReadLogToPrivateConsoleLog();
}

void LogEntry(const char* message) {
    if (!message) {
        return;
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
    if (path.size() <= CString256::kCapacity) {
        CString256 converted(path.c_str());
        ConvertPosixPathToHFSPath(converted);
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
