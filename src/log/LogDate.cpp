#include "log/LogDate.h"

#include <ctime>

namespace eventlog {

std::string LogDateDescriptionAt(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return std::string(text, length);
}

}  // namespace eventlog
