#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The aiosmtpd server of smtp_test_server.py, started on an ephemeral
// loopback port for the life of the object.
class TestSmtpServer {
public:
    // args: the script's options after --record (e.g. {"--mode", "starttls"}).
    TestSmtpServer(const std::filesystem::path& workDir, std::vector<std::string> args);
    ~TestSmtpServer();
    TestSmtpServer(const TestSmtpServer&) = delete;
    TestSmtpServer& operator=(const TestSmtpServer&) = delete;

    long port() const { return port_; }
    // What the server recorded so far: {"event": "auth"|"message", ...}.
    std::vector<nlohmann::json> events(const std::string& kind) const;

private:
    std::filesystem::path record_;
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    long port_ = 0;
};

// A private certificate authority and server certificates for 127.0.0.1,
// made with openssl in a folder of the test's own.
struct TestCertificates {
    explicit TestCertificates(const std::filesystem::path& dir);
    std::filesystem::path caFile;
    std::filesystem::path serverCert, serverKey;          // signed by the CA
    std::filesystem::path selfSignedCert, selfSignedKey;  // trusted by nobody
};
