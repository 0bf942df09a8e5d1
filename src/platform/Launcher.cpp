#include "platform/Launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <thread>

extern char** environ;

namespace platform {

namespace {

// The opener may run for as long as it likes (xdg-open often waits for the
// viewer); a detached thread collects its exit status so that no zombie stays
// behind and the caller's loop never waits for it.
void ReapInBackground(pid_t child, std::function<void(bool)> finished) {
    std::thread([child, finished = std::move(finished)] {
        int status = 0;
        pid_t result = 0;
        while ((result = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
        if (finished) {
            finished(result == child && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
    }).detach();
}

}  // namespace

bool OpenWithDefaultApplication(const std::filesystem::path& item) {
    return OpenWithDefaultApplication(item, nullptr);
}

bool OpenWithDefaultApplication(const std::filesystem::path& item,
                                std::function<void(bool opened)> finished) {
    // An absolute path never starts with "-", so the opener cannot mistake it
    // for an option.
    std::error_code error;
    const std::string target = std::filesystem::absolute(item, error).string();
    if (error || target.empty()) {
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(target.c_str()), nullptr};
    pid_t child = 0;
    const int result = posix_spawnp(&child, "xdg-open", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        return false;
    }
    ReapInBackground(child, std::move(finished));
    return true;
}

}  // namespace platform
