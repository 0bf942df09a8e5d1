#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>

#include "support/FileText.h"

namespace testing_support {

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment,
                           const std::string& standardInput) {
    int out[2], in[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> args(argv.size() + 1, nullptr);
    std::transform(argv.begin(), argv.end(), args.begin(),
                   [](const std::string& a) { return const_cast<char*>(a.c_str()); });
    errors_ = memfd_create("child-stderr", MFD_CLOEXEC);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(errors_, STDERR_FILENO);  // without the file, the child's own stays
        for (const auto& e : extraEnvironment) {
            putenv(const_cast<char*>(e.c_str()));
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(in[0]);
    output_ = out[0];
    [[maybe_unused]] auto n = write(in[1], standardInput.data(), standardInput.size());
    close(in[1]);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(output_);  // either may be -1: then nothing is closed
    close(errors_);
}

// A fresh open reads from the start, wherever the child's writes left the
// offset it shares with errors_.
std::string ChildProcess::readErrors() const {
    return errors_ < 0 ? "" : ReadText("/proc/self/fd/" + std::to_string(errors_));
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{output_, POLLIN, 0};
        char buffer[512];
        ssize_t n = 0;
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
            (n = read(output_, buffer, sizeof buffer)) <= 0) {
            return std::nullopt;  // nothing in time, or the output was closed
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string all;
    while (auto line = readLine(
               std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()))) {
        all += *line + "\n";
    }
    return all + std::exchange(pending_, {});
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (int status = 0; pid_ > 0; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= deadline) {
            break;
        }
    }
    return std::nullopt;  // still running: the destructor kills it
}

}  // namespace testing_support
