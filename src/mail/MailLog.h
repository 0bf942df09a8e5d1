#pragma once

#include <functional>
#include <string>

namespace mail {

// Writes one event-log line for the mail layer.
void LogMailEvent(const std::string& line);

// Lets a test watch the lines the mail layer logs, as they are logged
// (on the run loop's thread). An empty function stops watching.
void SetMailLogObserverForTesting(std::function<void(const std::string&)> observer);

}  // namespace mail
