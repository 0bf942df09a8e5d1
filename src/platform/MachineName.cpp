#include "platform/MachineName.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Each notification of a burst asks for the name; a bus round trip for each
// would add up on the caller's run loop, so one answer serves them all.
constexpr Clock::duration kAnswerKeptFor = std::chrono::seconds(1);

std::mutex gQueryMutex;
PrettyHostnameQuery gQuery;
std::optional<std::pair<std::string, Clock::time_point>> gLastAnswer;

std::string_view TrimBlanks(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// One value of an environment file, with its quoting and escapes undone.
std::string Unquote(std::string_view value) {
    std::string out;
    char quote = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && i + 1 < value.size()) {
            out += value[++i];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> ReadMachineInfo() {
    std::ifstream file("/etc/machine-info");
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return PrettyHostnameFromMachineInfo(text.str());
}

std::string LookUpMachineName(const PrettyHostnameQuery& query) {
    if (query) {
        if (std::optional<std::string> name = query(); name && !name->empty()) {
            return *name;
        }
    }
    if (std::optional<std::string> name = ReadMachineInfo()) {
        return *name;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0 && host[0] != '\0') {
        return host;
    }
    return "localhost";
}

}  // namespace

void SetPrettyHostnameQuery(PrettyHostnameQuery query) {
    std::lock_guard lock(gQueryMutex);
    gQuery = std::move(query);
    gLastAnswer.reset();
}

std::optional<std::string> PrettyHostnameFromMachineInfo(std::string_view text) {
    std::optional<std::string> found;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        constexpr std::string_view kKey = "PRETTY_HOSTNAME=";
        if (line.substr(0, kKey.size()) == kKey) {
            std::string value = Unquote(TrimBlanks(line.substr(kKey.size())));
            found = value.empty() ? std::nullopt : std::optional(std::move(value));
        }
    }
    return found;
}

std::string CopyMachineName() {
    PrettyHostnameQuery query;
    {
        std::lock_guard lock(gQueryMutex);
        if (gLastAnswer && Clock::now() - gLastAnswer->second < kAnswerKeptFor) {
            return gLastAnswer->first;
        }
        query = gQuery;
    }
    std::string name = LookUpMachineName(query);
    std::lock_guard lock(gQueryMutex);
    gLastAnswer.emplace(name, Clock::now());
    return name;
}

}  // namespace platform
