#include "NetworkNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/ChildProcess.h"

namespace testing_support {

NetworkNamespace::NetworkNamespace() {
    static std::atomic<int> counter{0};
    name_ = "orbalen-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    created_ = Run({"ip", "netns", "add", name_}) == 0;
}

NetworkNamespace::~NetworkNamespace() {
    if (created_) {
        Run({"ip", "netns", "del", name_});
    }
}

bool NetworkNamespace::ip(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"ip", "-n", name_};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv) == 0;
}

bool NetworkNamespace::ipBatch(const std::vector<std::string>& commands) const {
    const auto file = std::filesystem::temp_directory_path() / (name_ + ".batch");
    {
        std::ofstream out(file);
        for (const auto& command : commands) {
            out << command << '\n';
        }
    }
    const bool ok =
        Run({"ip", "-n", name_, "-batch", file.string()}, std::chrono::seconds(60)) == 0;
    std::filesystem::remove(file);
    return ok;
}

void NetworkNamespace::runInside(const std::function<void()>& body) const {
    std::thread inside([&] {
        const std::string path = "/run/netns/" + name_;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        // setns(2) moves only this thread, so the test's own thread stays put.
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
            std::perror("entering the test namespace");
            std::abort();
        }
        close(fd);
        body();
    });
    inside.join();
}

}  // namespace testing_support
