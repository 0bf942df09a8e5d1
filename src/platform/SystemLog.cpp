#include "platform/SystemLog.h"

#include <syslog.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include "base/ControlCharacters.h"
#include "base/UniqueFd.h"

namespace platform {

namespace {

constexpr char kIdent[] = "OrbalenStatus";

std::mutex observerMutex;
std::function<void(std::string_view)> observer;

}  // namespace

void SetSystemLogObserver(std::function<void(std::string_view)> newObserver) {
    std::lock_guard lock(observerMutex);
    observer = std::move(newObserver);
}

void WriteToSystemLog(std::string_view rawText) {
    // One call, one line: outside text must not split it or forge another.
    const std::string line = base::EscapeControlCharacters(rawText);
    const std::string_view text = line;
    static std::once_flag opened;
    std::call_once(opened, [] { openlog(kIdent, LOG_PID, LOG_USER); });

    // "%.*s" keeps the text as data: a "%" in it is never a conversion.
    syslog(LOG_NOTICE, "%.*s", static_cast<int>(text.size()), text.data());

    {
        std::lock_guard lock(observerMutex);
        if (observer) {
            observer(text);
        }
    }
    if (isatty(STDERR_FILENO)) {
        base::WriteAll(STDERR_FILENO, std::string(kIdent) + ": " + std::string(text) + "\n");
    }
}

}  // namespace platform
