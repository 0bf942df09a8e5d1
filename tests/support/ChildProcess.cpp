#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <utility>

namespace testing_support {

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment,
                           const std::string& standardInput) {
    int out[2], in[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    errors_ = memfd_create("child-stderr", MFD_CLOEXEC);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (errors_ >= 0) {
            dup2(errors_, STDERR_FILENO);
        }
        for (const auto& e : extraEnvironment) {
            putenv(const_cast<char*>(e.c_str()));
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(in[0]);
    output_ = out[0];
    if (!standardInput.empty()) {
        [[maybe_unused]] auto n = write(in[1], standardInput.data(), standardInput.size());
    }
    close(in[1]);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) {
        close(output_);
    }
    if (errors_ >= 0) {
        close(errors_);
    }
}

std::string ChildProcess::readErrors() const {
    std::string all;
    char buffer[4096];
    ssize_t n = 0;
    for (off_t at = 0; errors_ >= 0 && (n = pread(errors_, buffer, sizeof buffer, at)) > 0;
         at += n) {
        all.append(buffer, static_cast<std::size_t>(n));
    }
    return all;
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
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return std::nullopt;
        }
        char buffer[512];
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0) {
            return std::nullopt;
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
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;  // the destructor kills it
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

}  // namespace testing_support
