#include "TestSmtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

const std::filesystem::path kScript = "tests/integration/mail/smtp_test_server.py";

std::string ReadLine(int fd, std::chrono::milliseconds timeout) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        char c;
        if (read(fd, &c, 1) != 1) {
            break;
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
    throw std::runtime_error("test SMTP server did not start: '" + line + "'");
}

void Run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
        throw std::runtime_error("failed: " + command);
    }
}

}  // namespace

TestSmtpServer::TestSmtpServer(const std::filesystem::path& workDir,
                               std::vector<std::string> args) {
    static int serial = 0;
    record_ = workDir / ("record-" + std::to_string(++serial) + ".jsonl");
    std::vector<std::string> argv = {"/usr/bin/python3", kScript.string(), "--record",
                                     record_.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) {
        cargv.push_back(a.data());
    }
    cargv.push_back(nullptr);

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string serverLog = (workDir / "server.log").string();
    posix_spawn_file_actions_addopen(&actions, 2, serverLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    const int rc = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdinFd_ = in[1];
    if (rc != 0) {
        close(out[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    const std::string line = ReadLine(out[0], std::chrono::seconds(20));
    close(out[0]);
    port_ = std::stol(line.substr(line.find(' ') + 1));
}

TestSmtpServer::~TestSmtpServer() {
    close(stdinFd_);  // the server stops when its stdin closes
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

std::vector<nlohmann::json> TestSmtpServer::events(const std::string& kind) const {
    std::vector<nlohmann::json> found;
    std::ifstream file(record_);
    for (std::string line; std::getline(file, line);) {
        nlohmann::json entry = nlohmann::json::parse(line);
        if (entry["event"] == kind) {
            found.push_back(std::move(entry));
        }
    }
    return found;
}

TestCertificates::TestCertificates(const std::filesystem::path& dir)
    : caFile(dir / "ca.pem"),
      serverCert(dir / "server.pem"),
      serverKey(dir / "server.key"),
      selfSignedCert(dir / "self.pem"),
      selfSignedKey(dir / "self.key") {
    const std::string d = dir.string();
    const std::string san = "-addext subjectAltName=IP:127.0.0.1,DNS:localhost";
    Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=OrbalenTestCA -keyout " + d +
        "/ca.key -out " + caFile.string());
    Run("openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 " + san + " -keyout " +
        serverKey.string() + " -out " + d + "/server.csr");
    Run("openssl x509 -req -days 2 -copy_extensions copy -in " + d + "/server.csr -CA " +
        caFile.string() + " -CAkey " + d + "/ca.key -CAcreateserial -out " + serverCert.string());
    Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 " + san +
        " -keyout " + selfSignedKey.string() + " -out " + selfSignedCert.string());
}
