#include "app/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace app {

namespace {

int gWriteEnd = -1;

void OnQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(gWriteEnd, &byte, 1);
    errno = saved;
}

}  // namespace

int InstallQuitSignalPipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    gWriteEnd = ends[1];
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    return ends[0];
}

bool DrainQuitSignalPipe(int fd) {
    char buffer[64];
    bool signalled = false;
    while (read(fd, buffer, sizeof buffer) > 0) {
        signalled = true;
    }
    return signalled;
}

}  // namespace app
