#include "mail/SSMTP.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TestSmtpServer.h"
#include "mail/MailLog.h"
#include "platform/MachineName.h"
#include "platform/ManualRunLoop.h"
#include "settings/Preferences.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string kRecipient = "ops@example.org";
const std::string kFormat =
    "OrbalenStatus has refreshed. The IP address of machine \"%@\" has changed from: %@ to %@";

std::string RefreshedBody() {
    return "OrbalenStatus has refreshed. Machine \"" + platform::CopyMachineName() +
           "\" has IP address: 10.0.0.2";
}

const Lines kTypicalConversation = {"Composing message to ops@example.org.",
                                    "Connecting to the 127.0.0.1 server...",
                                    "Connected.",
                                    "SSL handshaking...",
                                    "SSL handshaking completed.",
                                    "Authentication completed. Sending the message...",
                                    "Message sent. Closing the connection.",
                                    "Connection terminated."};

class SSMTPTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ =
            std::filesystem::temp_directory_path() / ("orbalen-mail-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_ / "config");
        std::filesystem::create_directories(dir_ / "data");
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        certs_ = std::make_unique<TestCertificates>(dir_);
        setenv("ORBALEN_CA_BUNDLE", certs_->caFile.c_str(), 1);
        mail::SmtpClient::setDefaultTimeouts({3s, 2s, 20s});
    }
    static void TearDownTestSuite() {
        certs_.reset();
        std::filesystem::remove_all(dir_);
    }

    void SetUp() override {
        for (const char* key :
             {"MailServer", "Port", "Authentication", "Username", "UserPassword"}) {
            settings::SetAppValue(key, std::nullopt);
        }
        for (const char* key : {"useSSL", "allowUntrustedCertificates"}) {
            settings::UserDefaults::standard().setObject(std::nullopt, key);
        }
        settings::SetAppValue("MailServer", std::string("127.0.0.1"));
        settings::AppSynchronize();
        mail::SetMailLogObserverForTesting([this](const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    void TearDown() override {
        mail::SetMailLogObserverForTesting(nullptr);
        mail::SmtpClient::setImplicitTlsPortForTesting(mail::SmtpClient::kImplicitTlsPort);
    }

    static void Set(const char* key, settings::Value value) {
        settings::SetAppValue(key, std::move(value));
        settings::AppSynchronize();
    }
    static void SetDefault(const char* key, bool value) {
        settings::UserDefaults::standard().setObject(value, key);
        settings::UserDefaults::standard().synchronize();
    }
    void UseServer(const TestSmtpServer& server) { Set("Port", std::to_string(server.port())); }
    static std::unique_ptr<TestSmtpServer> Server(std::vector<std::string> args) {
        return std::make_unique<TestSmtpServer>(dir_, std::move(args));
    }
    std::vector<std::string> TlsArgs(const char* mode, bool trusted = true) {
        const auto& c = *certs_;
        return {"--mode", mode,
                "--cert", (trusted ? c.serverCert : c.selfSignedCert).string(),
                "--key",  (trusted ? c.serverKey : c.selfSignedKey).string()};
    }

    bool Ended() {
        std::lock_guard lock(mutex_);
        return !lines_.empty() && (lines_.back() == "Connection terminated." ||
                                   lines_.back() == "Connection timed out.");
    }

    // Starts one sender per recipient, all at once, and runs the loop until
    // every conversation has ended; returns the sender's log lines.
    Lines Converse(const std::vector<std::string>& recipients,
                   const std::optional<std::string>& oldAddress = std::nullopt) {
        lines_.clear();
        platform::ManualRunLoop loop(platform::ManualRunLoop::Clock::Real);
        for (const std::string& to : recipients) {
            SSMTP::create(loop)->sendMessage("10.0.0.2", oldAddress, to, kFormat);
        }
        auto endings = [this] {
            std::lock_guard lock(mutex_);
            return std::count_if(lines_.begin(), lines_.end(), [](const std::string& l) {
                return l == "Connection terminated." || l == "Connection timed out.";
            });
        };
        EXPECT_TRUE(loop.runUntil([&] { return endings() == std::ssize(recipients); }, 20s));
        loop.runOnce(10ms);  // senders let go of themselves
        return lines_;
    }
    Lines Converse(const std::optional<std::string>& oldAddress = std::nullopt) {
        return Converse({kRecipient}, oldAddress);
    }

    static inline std::filesystem::path dir_;
    static inline std::unique_ptr<TestCertificates> certs_;
    std::mutex mutex_;
    Lines lines_;
};

TEST_F(SSMTPTest, PlainConversationDeliversTheMessageByteForByte) {
    auto server = Server({"--mode", "plain"});
    UseServer(*server);
    SetDefault("useSSL", false);
    Set("Authentication", std::int64_t{0});

    const std::string body = "OrbalenStatus has refreshed. The IP address of machine \"" +
                             platform::CopyMachineName() +
                             "\" has changed from: 10.0.0.1 to 10.0.0.2";
    EXPECT_EQ(Converse(std::string("10.0.0.1")),
              (Lines{"Composing message to ops@example.org.", body,
                     "Connecting to the 127.0.0.1 server...", "Connected.",
                     "Message sent. Closing the connection.", "Connection terminated."}));

    const auto messages = server->events("message");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["mail_from"], kRecipient);
    EXPECT_EQ(messages[0]["rcpt_tos"], std::vector<std::string>{kRecipient});
    EXPECT_FALSE(messages[0]["tls"]);
    std::string content = messages[0]["content"];
    const auto date = content.find("Date: ");
    ASSERT_NE(date, std::string::npos);
    content.erase(date, content.find("\r\n", date) + 2 - date);
    EXPECT_EQ(content,
              "From: ops@example.org\r\nTo: ops@example.org\r\n"
              "Subject: OrbalenStatus Notification\r\nMIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=us-ascii\r\n"
              "Content-Transfer-Encoding: 7bit\r\n\r\n" +
                  body + "\r\n");
}

TEST_F(SSMTPTest, StartTlsThenTheForcedMechanismOnly) {
    auto withAuth = TlsArgs("starttls");
    withAuth.insert(withAuth.end(), {"--user", "bob:s3cret"});
    auto server = Server(withAuth);
    UseServer(*server);
    Set("Username", std::string("bob"));
    Set("UserPassword", std::string("s3cret"));

    // "useSSL" absent behaves as YES; 1 is PLAIN, any other non-zero LOGIN.
    Set("Authentication", std::int64_t{1});
    EXPECT_EQ(Converse(), kTypicalConversation);
    SetDefault("useSSL", true);
    Set("Authentication", std::int64_t{2});
    EXPECT_EQ(Converse(), kTypicalConversation);

    const auto auths = server->events("auth");
    ASSERT_EQ(auths.size(), 2u);
    EXPECT_EQ(auths[0]["mechanism"], "PLAIN");
    EXPECT_EQ(auths[1]["mechanism"], "LOGIN");
    const auto messages = server->events("message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1]["tls"]);
    EXPECT_TRUE(messages[1]["authenticated"]);
    EXPECT_NE(std::string(messages[1]["content"]).find("\r\n\r\n" + RefreshedBody() + "\r\n"),
              std::string::npos);
}

TEST_F(SSMTPTest, WrongPasswordIsLoggedAndNothingIsSent) {
    auto args = TlsArgs("starttls");
    args.insert(args.end(), {"--user", "bob:s3cret"});
    auto server = Server(args);
    UseServer(*server);
    Set("Authentication", std::int64_t{1});
    Set("Username", std::string("bob"));
    Set("UserPassword", std::string("wrong"));

    const Lines lines = Converse();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
              (Lines{"Authentication failed. Closing the connection...",
                     "Server reply: 535 5.7.8 Authentication credentials invalid",
                     "Connection terminated."}));
    EXPECT_TRUE(server->events("message").empty());
}

TEST_F(SSMTPTest, RefusalsLogTheServersReplyWhenItIsText) {
    SetDefault("useSSL", false);
    Set("Authentication", std::int64_t{0});
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--refuse-rcpt"},
         "Message not sent: 550 5.1.1 <ops@example.org>: Recipient address rejected"},
        {{"--refuse-message"}, "Message not sent: 554 5.6.0 Message content rejected"},
        {{"--raw-refusal"}, ""},
    };
    for (const auto& [flag, expected] : cases) {
        auto args = std::vector<std::string>{"--mode", "plain"};
        args.insert(args.end(), flag.begin(), flag.end());
        auto server = Server(args);
        UseServer(*server);
        const Lines lines = Converse();
        Lines tail = {"Connected.", expected, "Connection terminated."};
        if (expected.empty()) {
            tail.erase(tail.begin() + 1);
        }
        ASSERT_GE(lines.size(), tail.size()) << flag[0];
        EXPECT_EQ(Lines(lines.end() - std::ssize(tail), lines.end()), tail) << flag[0];
        EXPECT_TRUE(server->events("message").empty());
    }
}

TEST_F(SSMTPTest, SilentAndDroppingServersEndTheConversation) {
    auto silent = Server({"--mode", "silent"});
    UseServer(*silent);
    EXPECT_EQ(Converse(),
              (Lines{"Composing message to ops@example.org.",
                     "Connecting to the 127.0.0.1 server...", "Connection timed out."}));

    auto dropping = Server({"--mode", "drop"});
    UseServer(*dropping);
    EXPECT_EQ(Converse(), (Lines{"Composing message to ops@example.org.",
                                 "Connecting to the 127.0.0.1 server...", "Connected.",
                                 "Connection lost.", "Connection terminated."}));
}

TEST_F(SSMTPTest, UntrustedCertificateIsRefusedUnlessTheUserAllowsIt) {
    auto server = Server(TlsArgs("starttls", false));
    UseServer(*server);
    Set("Authentication", std::int64_t{0});

    const Lines refused = Converse();
    ASSERT_EQ(refused.size(), 6u);
    EXPECT_EQ(refused[3], "SSL handshaking...");
    EXPECT_EQ(refused[4].rfind("Error (SSL): SSL certificate problem: ", 0), 0u) << refused[4];
    EXPECT_EQ(refused[5], "Connection terminated.");
    EXPECT_TRUE(server->events("message").empty());

    SetDefault("allowUntrustedCertificates", true);
    EXPECT_EQ(Converse()[5], "Message sent. Closing the connection.");
    EXPECT_EQ(server->events("message").size(), 1u);
}

TEST_F(SSMTPTest, ImplicitTlsPortIsSecuredFromTheStart) {
    auto server = Server(TlsArgs("tls"));
    UseServer(*server);
    mail::SmtpClient::setImplicitTlsPortForTesting(server->port());
    Set("Authentication", std::int64_t{0});

    EXPECT_EQ(
        Converse(),
        (Lines{"Composing message to ops@example.org.", "Connecting to the 127.0.0.1 server...",
               "Connected.", "Starting SSL.", "SSL handshaking completed.",
               "Message sent. Closing the connection.", "Connection terminated."}));
    ASSERT_EQ(server->events("message").size(), 1u);
}

TEST_F(SSMTPTest, ConnectionIsClosedWhenNothingIsLeftToDo) {
    auto server = Server({"--mode", "plain"});
    UseServer(*server);
    SetDefault("useSSL", false);  // and no "Authentication": nothing to say after EHLO
    EXPECT_EQ(Converse(), (Lines{"Composing message to ops@example.org.",
                                 "Connecting to the 127.0.0.1 server...", "Connected.",
                                 "Connection terminated."}));

    // Security asked for but not offered: no silent fall back to plain text.
    settings::UserDefaults::standard().setObject(std::nullopt, "useSSL");
    Set("Authentication", std::int64_t{0});
    const Lines lines = Converse();
    EXPECT_EQ(Lines(lines.begin() + 3, lines.end()),
              (Lines{"SSL handshaking...", "Error (SSL): STARTTLS not supported.",
                     "Connection terminated."}));
    EXPECT_TRUE(server->events("message").empty());
}

TEST_F(SSMTPTest, BadInputIsRefusedBeforeAnyConnection) {
    platform::ManualRunLoop loop;
    auto send = [&](const std::optional<std::string>& to) {
        lines_.clear();
        SSMTP::create(loop)->sendMessage("10.0.0.2", std::nullopt, to, kFormat);
        return lines_;
    };
    EXPECT_EQ(send(std::nullopt), Lines{});
    EXPECT_EQ(send(std::string()), Lines{});
    EXPECT_EQ(send(std::string("ops@example.org\r\nRCPT TO:<x@y.z>")),
              Lines{"Message not composed: the recipient \"ops@example.org\\r\\nRCPT TO:<x@y.z>\" "
                    "contains a line break or NUL."});
    for (const char* port : {"0", "smtp", "70000"}) {
        Set("Port", std::string(port));
        EXPECT_EQ(send(kRecipient),
                  (Lines{"Composing message to ops@example.org.",
                         std::string("Message not sent: the mail server port \"") + port +
                             "\" is not a number from 1 to 65535."}));
    }
    settings::SetAppValue("MailServer", std::string());
    EXPECT_EQ(send(kRecipient), Lines{});
    EXPECT_FALSE(loop.runOnce(0ms));  // no conversation was started
}

TEST_F(SSMTPTest, SeveralSendersRunSideBySide) {
    auto server = Server({"--mode", "plain"});
    UseServer(*server);
    SetDefault("useSSL", false);
    Set("Authentication", std::int64_t{0});
    const std::vector<std::string> recipients = {"a@example.org", "b@example.org", "c@example.org",
                                                 "d@example.org", "e@example.org"};
    const Lines lines = Converse(recipients);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Message sent. Closing the connection."), 5);
    std::vector<std::string> delivered;
    for (const auto& m : server->events("message")) {
        delivered.push_back(m["rcpt_tos"][0]);
    }
    std::sort(delivered.begin(), delivered.end());
    EXPECT_EQ(delivered, recipients);
}

}  // namespace
