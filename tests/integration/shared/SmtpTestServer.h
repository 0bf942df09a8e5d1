// tests/integration/mail/smtp_test_server.py on an ephemeral loopback port,
// killed with the object. Run from the source tree's top folder.
#pragma once
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace integration {

class SmtpTestServer : public testing_support::ChildProcess {
public:
    explicit SmtpTestServer(const std::vector<std::string>& options)
        : ChildProcess(Command(options)) {
        const auto line = readLine(std::chrono::seconds(20));
        port = line && line->starts_with("PORT ") ? line->substr(5) : "0";
    }

    // The events it has printed since the last call ({"event": "auth",
    // "mail" or "message", ...}), each waited for up to wait.
    std::vector<nlohmann::json> events(
        std::chrono::milliseconds wait = std::chrono::milliseconds(200)) {
        std::vector<nlohmann::json> found;
        while (const auto line = readLine(wait)) {
            found.push_back(nlohmann::json::parse(*line));
        }
        return found;
    }

    std::string port;

private:
    static std::vector<std::string> Command(const std::vector<std::string>& options) {
        std::vector<std::string> argv{"/usr/bin/python3",
                                      "tests/integration/mail/smtp_test_server.py"};
        argv.insert(argv.end(), options.begin(), options.end());
        return argv;
    }
};

}  // namespace integration
