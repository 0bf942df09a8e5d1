#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A program started without a shell, its standard output on a pipe and its
// standard error kept in memory. The destructor kills it if it still runs.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& extraEnvironment = {},
                          const std::string& standardInput = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of standard output without its line end; nothing when none comes in time.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Everything it writes until it closes its output or timeout passes.
    std::string readAll(std::chrono::milliseconds timeout);
    // Everything it has written to standard error so far.
    std::string readErrors() const;
    // The exit status (128 + the signal when killed), or nothing if still running.
    std::optional<int> wait(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int output_ = -1;
    int errors_ = -1;  // an anonymous file, so a chatty child never blocks on it
    std::string pending_;
};

}  // namespace testing_support
