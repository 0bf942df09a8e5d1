#include "mail/SSMTP.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <system_error>
#include <thread>

#include "integration/shared/SmtpTestServer.h"
#include "mail/LocalIdentity.h"
#include "platform/MachineName.h"
#include "settings/Preferences.h"
#include "support/CaseName.h"
#include "support/LogRecorder.h"
#include "support/ManualRunLoop.h"
#include "support/TempFolder.h"

using mail::MailKind;
using mail::MailProgress;
using mail::SSMTP;

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string kFormat =
    "OrbalenStatus has refreshed. The IP address of machine \"%@\" has changed from: %@ to %@";

Lines Split(const std::string& text, char separator) {
    Lines parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

// Expected lines ending in '*' match any line that starts with the rest.
bool LinesMatch(const Lines& actual, const Lines& expected) {
    return std::equal(actual.begin(), actual.end(), expected.begin(), expected.end(),
                      [](const std::string& a, const std::string& e) {
                          return e.ends_with('*') ? a.starts_with(e.substr(0, e.size() - 1))
                                                  : a == e;
                      });
}

// "Sending|", "Sent|", "NotSent: reason|".
std::string Describe(const MailProgress& p) {
    static const char* const kSteps[] = {"Sending", "Sent", "NotSent"};
    return kSteps[static_cast<int>(p.step)] + (p.detail.empty() ? "" : ": " + p.detail) + "|";
}

std::size_t ThreadCount() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

class SenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<testing_support::TempFolder>("orbalen-mail");
        setenv("XDG_CONFIG_HOME", folder_->path().c_str(), 1);
        setenv("XDG_DATA_HOME", folder_->path().c_str(), 1);
        // Self-signed certificates for 127.0.0.1; only "trusted" is in the bundle.
        for (const std::string name : {"trusted", "untrusted"}) {
            ASSERT_EQ(testing_support::ChildProcess(
                          {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                           "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                           "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                           *folder_ / (name + ".key"), "-out", *folder_ / (name + ".pem")})
                          .wait(10s),
                      0);
        }
    }

    // The server, with the test's certificates.
    static integration::SmtpTestServer Server(const std::string& options) {
        return integration::SmtpTestServer(
            Split(options + " --certs " + folder_->path().string(), ' '));
    }

    // Short time-outs, the test authority; implicit TLS on a port of the test's.
    static mail::SmtpOptions Options(long implicitTlsPort = mail::SmtpOptions::kImplicitTlsPort) {
        return {implicitTlsPort, {3s, 1s, 20s}, *folder_ / "trusted.pem", {}};
    }

    // "key=value ..." as text (the mail readers take text for each) over a
    // store holding only the mail server's address.
    static void Store(const std::string& values) {
        for (const auto& entry : settings::CopyAllAppValues()) {
            settings::SetAppValue(entry.first, std::nullopt);
        }
        settings::SetAppValue("MailServer", std::string("127.0.0.1"));
        for (const std::string& entry : Split(values, ' ')) {
            const auto equals = entry.find('=');
            settings::SetAppValue(entry.substr(0, equals), entry.substr(equals + 1));
        }
        settings::AppSynchronize();
    }

    static inline std::unique_ptr<testing_support::TempFolder> folder_;
};

struct Scenario {
    const char* name;
    const char* server;     // smtp_test_server.py options
    const char* settings;   // as Store() takes them
    const char* log;        // the lines after "Connecting...", separated by '|'
    const char* mechanism;  // the one AUTH attempt the server saw, or ""
    const char* outcome;    // the progress handler's last step: "Sent" or "NotSent: reason"
    bool oldAddress;        // the caller has one: the body is then logged too
};

PRINT_CASE_BY_NAME(Scenario)

#define SECURED "Connected.|SSL handshaking...|SSL handshaking completed.|"
#define SENT "Message sent. Closing the connection.|Connection terminated."
#define END "|Connection terminated."
#define LOGIN_AS "Username=bob UserPassword="
#define REFUSED_LOGIN "535 5.7.8 Authentication credentials invalid"
#define REFUSED_RCPT "Message not sent: 550 5.1.1 <ops@example.org>: Recipient address rejected"
#define NO_AUTHENTICATION \
    "no authentication is chosen (Authentication); choose one, or None, in the preferences"
#define TLS_FAILED "SSL handshaking...|Error (SSL): "
const char* const kAuthServer = "--mode starttls --user bob:s3cret";

// "useSSL" absent counts as YES; "Authentication" 1 is PLAIN, any other non-zero LOGIN.
const Scenario kScenarios[] = {
    // For submission servers that take only the account's own address.
    {"PlainWithOwnSenderAddress", "--mode plain",
     "useSSL=NO Authentication=0 EmailFrom=bob@example.net", "Connected.|" SENT, "", "Sent", true},
    {"StartTlsPlainAuth", kAuthServer, "Authentication=1 " LOGIN_AS "s3cret",
     SECURED "Authentication completed. Sending the message...|" SENT, "PLAIN", "Sent", false},
    {"StartTlsLoginAuth", kAuthServer, "useSSL=YES Authentication=2 " LOGIN_AS "s3cret",
     SECURED "Authentication completed. Sending the message...|" SENT, "LOGIN", "Sent", false},
    {"WrongPassword", kAuthServer, "Authentication=1 " LOGIN_AS "wrong",
     SECURED "Authentication failed. Closing the connection...|Server reply: " REFUSED_LOGIN END,
     "PLAIN", "NotSent: Authentication failed: " REFUSED_LOGIN, false},
    {"RecipientRefused", "--mode plain --refuse-rcpt", "useSSL=NO Authentication=0",
     "Connected.|" REFUSED_RCPT END, "", "NotSent: " REFUSED_RCPT, false},
    {"RefusalNotUtf8", "--mode plain --raw-refusal", "useSSL=NO Authentication=0", "Connected." END,
     "", "NotSent: Message not sent: the server refused it", false},
    {"NeverGreets", "--mode silent", "Authentication=0", "Connection timed out.", "",
     "NotSent: Connection timed out", false},
    {"HangsUp", "--mode drop", "Authentication=0",
     "Connected.|Connection lost.|Error (SMTP): *" END, "", "NotSent: Connection lost: *", false},
    {"UntrustedCertificate", "--mode starttls --untrusted", "Authentication=0",
     "Connected.|" TLS_FAILED "SSL certificate problem: *" END, "",
     "NotSent: Connection failed: SSL certificate problem: *", false},
    {"UntrustedCertificateAllowed", "--mode starttls --untrusted",
     "Authentication=0 allowUntrustedCertificates=YES", SECURED SENT, "", "Sent", false},
    {"ImplicitTls", "--mode tls", "Authentication=0",
     "Connected.|Starting SSL.|SSL handshaking completed.|" SENT, "", "Sent", false},
    // No "Authentication": nothing to say after EHLO, so hang up, saying why.
    {"NoAuthenticationChosen", "--mode plain", "useSSL=NO",
     "Connected.|Message not sent: " NO_AUTHENTICATION "." END, "", "NotSent: " NO_AUTHENTICATION,
     false},
    // Security asked for but not offered: no silent fall back to plain text.
    {"StartTlsNotOffered", "--mode plain", "Authentication=0",
     "Connected.|" TLS_FAILED "STARTTLS not supported." END, "",
     "NotSent: Connection failed: STARTTLS not supported.", false},
    // Authentication asked for but its mechanism not offered: no fall back to
    // sending without it, and the EHLO list is no "Server reply".
    {"MechanismNotOffered", "--mode starttls --user bob:s3cret --only-mechanism LOGIN",
     "Authentication=1 " LOGIN_AS "s3cret",
     SECURED "Authentication failed. Closing the connection..." END, "",
     "NotSent: Authentication failed", false},
};

class ConversationTest : public SenderTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(ConversationTest, LogsEachStepAndDeliversExactlyTheMessage) {
    const Scenario& s = GetParam();
    const std::string mode = Split(s.server, ' ')[1];
    auto server = Server(s.server);
    Store(std::string(s.settings) + " Port=" + server.port);
    const mail::SmtpOptions options = mode == "tls" ? Options(std::stol(server.port)) : Options();
    const std::string name = "\"" + platform::CopyMachineName() + "\" ";
    const std::string body =
        s.oldAddress ? "OrbalenStatus has refreshed. The IP address of machine " + name +
                           "has changed from: 10.0.0.1 to 10.0.0.2"
                     : "OrbalenStatus has refreshed. Machine " + name + "has IP address: 10.0.0.2";
    testing_support::EventLogRecorder log;
    std::string progress;
    {
        testing_support::ManualRunLoop loop(testing_support::ManualRunLoop::Clock::Real);
        const auto sender = SSMTP::create(loop, options);
        sender->setProgressHandler([&](const MailProgress& p) { progress += Describe(p); });
        sender->sendMessage("10.0.0.2", s.oldAddress ? "10.0.0.1" : std::optional<std::string>(),
                            "ops@example.org", kFormat);
        EXPECT_TRUE(loop.runUntil([&] { return progress.find("Sent") != progress.npos; }, 20s));
        loop.runOnce(10ms);  // the sender lets go of itself
        mail::EndConversations(loop);
    }
    const Lines lines = log.lines();
    EXPECT_TRUE(LinesMatch(Split(progress, '|'), {"Sending", s.outcome})) << progress;
    EXPECT_TRUE(LinesMatch(
        lines, Split("Composing message to ops@example.org.|" + (s.oldAddress ? body + "|" : "") +
                         "Connecting to the 127.0.0.1 server...|" + s.log,
                     '|')))
        << ::testing::PrintToString(lines);

    std::string mechanisms;
    std::vector<nlohmann::json> messages;
    int envelopes = 0;
    for (const nlohmann::json& event : server.events()) {
        mechanisms += event.value("mechanism", "");
        envelopes += event["event"] == "mail";
        if (event["event"] == "message") {
            messages.push_back(event);
        }
    }
    EXPECT_EQ(mechanisms, s.mechanism);
    // MAIL goes out only once the server has taken everything before it.
    const std::string outcome = s.outcome;
    const bool delivered = outcome == "Sent";
    EXPECT_EQ(envelopes, delivered || outcome.find("Message not sent") != outcome.npos ? 1 : 0);
    ASSERT_EQ(messages.size(), delivered ? 1u : 0u);
    if (!delivered) {
        return;
    }
    // From and To are both the recipient unless "EmailFrom" (the last
    // setting) names the sender. EHLO gives the machine's full name or its
    // address, never a bare host name.
    const auto ownFrom = std::string(s.settings).find("EmailFrom=");
    const std::string from =
        ownFrom == std::string::npos ? "ops@example.org" : s.settings + ownFrom + 10;
    EXPECT_EQ(messages[0]["mail_from"], from);
    EXPECT_EQ(messages[0]["rcpt_tos"], Lines{"ops@example.org"});
    EXPECT_EQ(messages[0]["tls"], mode != "plain");
    const std::string helo = messages[0]["helo"], content = messages[0]["content"];
    EXPECT_TRUE(helo == "[127.0.0.1]" || mail::IsUsableDomainName(helo)) << helo;
    for (const std::string& header :
         {"From: " + from + "\r\nTo: ops@example.org\r\n", std::string("\r\nDate: "),
          std::string("\r\nMessage-ID: <")}) {
        EXPECT_NE(content.find(header), std::string::npos) << header << " in " << content;
    }
    EXPECT_TRUE(content.ends_with("7bit\r\n\r\n" + body + "\r\n")) << content;
}

INSTANTIATE_TEST_SUITE_P(Mail, ConversationTest, ::testing::ValuesIn(kScenarios), CaseName());

// No recipient, no server or a recipient that would end the mailbox early:
// nothing is sent, and nothing connects.
TEST_F(SenderTest, BadInputIsRefusedBeforeAnyConnection) {
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, ""},
        {"ops@example.org", "MailServer="},
        {"ops@example.org\r\nRCPT TO:<x@y.z>", ""}};
    testing_support::ManualRunLoop loop;
    testing_support::EventLogRecorder log;
    for (const auto& [to, values] : cases) {
        Store(values);
        std::string progress;
        const auto sender = SSMTP::create(loop, Options());
        sender->setProgressHandler([&](const MailProgress& p) { progress += Describe(p); });
        sender->sendMessage("10.0.0.2", std::nullopt, to, kFormat);
        EXPECT_TRUE(progress.starts_with("NotSent: ")) << progress;
    }
    EXPECT_EQ(log.lines(), Lines{"Message not composed: the recipient \"ops@example.org\\r\\nRCPT "
                                 "TO:<x@y.z>\" is not a plain address (local@domain)."});
    EXPECT_FALSE(loop.runOnce(0ms));  // no conversation was started
    mail::EndConversations(loop);
}

// Few workers, one per kind: each kind's conversations take turns, so a
// server that hangs holds one connection and delays no other kind; a list
// too long is cut with a log line; a worker that cannot start is tried
// again. Ending them returns at once, cuts short what is under way, and
// nothing reaches the loop after it has gone.
TEST_F(SenderTest, WorkersAreFewTakeTurnsByKindAndEndAtOnce) {
    auto hanging = Server("--mode silent"), plain = Server("--mode plain");
    std::size_t mostThreads = 0, threadsBefore = ThreadCount();
    testing_support::EventLogRecorder log;
    std::map<std::string, int> steps;  // as Describe() gives them
    {
        testing_support::ManualRunLoop loop(testing_support::ManualRunLoop::Clock::Real);
        const auto send = [&](MailKind kind, int count, const mail::SmtpOptions& options) {
            for (int i = 0; i < count; ++i) {
                const auto sender = SSMTP::create(loop, options);
                sender->setKind(kind);
                sender->setProgressHandler([&](const MailProgress& p) { ++steps[Describe(p)]; });
                sender->sendMessage("10.0.0.2", std::nullopt,
                                    "u" + std::to_string(i) + "@example.org", kFormat);
            }
        };
        mail::SmtpOptions patient = Options(), failingOnce = Options();
        patient.timeouts = {60s, 60s, 60s};  // the greeting counts towards connecting
        bool failed = false;
        failingOnce.startWorker = [&failed](std::function<void()> body) {
            if (!std::exchange(failed, true)) {
                throw std::system_error(EAGAIN, std::generic_category());
            }
            return std::thread(std::move(body));
        };
        Store("useSSL=NO Authentication=0 Port=" + hanging.port);
        send(MailKind::Internal, 2, patient);
        Store("useSSL=NO Authentication=0 Port=" + plain.port);
        send(MailKind::External, 110, failingOnce);
        loop.addTimer(0ms, 5ms, [&] { mostThreads = std::max(mostThreads, ThreadCount()); });
        EXPECT_TRUE(loop.runUntil([&] { return steps["Sent|"] == 100; }, 60s));
        const auto ending = std::chrono::steady_clock::now();
        mail::EndConversations(loop);
        EXPECT_LT(std::chrono::steady_clock::now() - ending, 1s);
    }
    const Lines ended = log.lines();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(log.lines(), ended);
    EXPECT_LE(mostThreads, threadsBefore + 2);
    EXPECT_EQ(plain.events().size(), 200u);  // "mail" and "message" for each one sent
    EXPECT_EQ(hanging.events().size(), 1u);  // one connection, never two
    EXPECT_EQ(log.count("Mail waits: no worker could be started (Resource temporarily "
                        "unavailable); trying again in 1 s."),
              1u);
    EXPECT_EQ(log.count(" not sent: 100 messages are already waiting for the mail server."), 10u);
    EXPECT_EQ(log.count("SMTP conversation with 127.0.0.1 cut short: the program is ending."), 2u);
    EXPECT_EQ(steps["Sending|"], 102);
    EXPECT_EQ(steps["NotSent: Cut short: the program is ending|"], 2);
}

}  // namespace
