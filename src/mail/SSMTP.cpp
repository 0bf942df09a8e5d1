#include "mail/SSMTP.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "foundation/Utf8.h"
#include "log/EventLog.h"
#include "mail/MailWorkers.h"
#include "mail/NotificationBody.h"
#include "mail/SenderSettings.h"
#include "mail/SmtpClient.h"
#include "platform/MachineName.h"
#include "settings/MailReaders.h"
#include "settings/Preferences.h"
#include "settings/Readers.h"

namespace mail {

namespace {

constexpr const char* kSubject = "OrbalenStatus Notification";

std::string ExceptionName(const std::exception& e) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled != nullptr ? demangled : typeid(e).name();
    std::free(demangled);
    return name;
}

// Control characters shown as escapes, so a hostile text stays on one log line.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\0') {
            out += "\\0";
        } else if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::shared_ptr<SSMTP> SSMTP::create(platform::RunLoop& loop, SmtpOptions options) {
    return std::shared_ptr<SSMTP>(new SSMTP(loop, std::move(options)));
}

SSMTP::~SSMTP() {
    if (_smtp) {
        _smtp->setDelegate(nullptr);
        _smtp->close();
    }
}

bool SSMTP::useSSL() const {
    return settings::ReadUseSSL();
}

void SSMTP::sendMessage(const std::string& newAddress, const std::optional<std::string>& oldAddress,
                        const std::optional<std::string>& toRecipient,
                        const std::string& usingMessage) {
    if (_smtp || self_) {
        return;  // one conversation per sender
    }
    if (!toRecipient || toRecipient->empty()) {
        return reportProgress({MailProgress::Step::NotSent, "No recipient"});
    }
    if (!settings::ReadMailServer()) {
        return reportProgress({MailProgress::Step::NotSent, "No mail server is set"});
    }
    const std::optional<std::string> recipient = PlainAddress(*toRecipient);
    if (!recipient) {
        return refuse("Message not composed: the recipient \"" + Printable(*toRecipient) +
                      "\" is not a plain address (local@domain).");
    }
    const std::shared_ptr<MailWorkers> workers = MailWorkers::forLoop(loop_);
    if (!workers->hasRoom(kind_)) {
        return refuse("Message to " + *recipient +
                      " not sent: " + std::to_string(MailWorkers::kMaxInFlight) +
                      " messages are already waiting for the mail server.");
    }
    eventlog::LogEntry("Composing message to " + *recipient + ".");
    settings::AppSynchronize();

    std::optional<MailMessage> message = compose(*recipient, newAddress, oldAddress, usingMessage);
    if (!message) {
        return reportProgress({MailProgress::Step::NotSent,
                               "Message not sent: the sender address (EmailFrom) is not a plain "
                               "address (local@domain)."});
    }
    const settings::MailPort port = settings::ReadMailPort();
    if (!port.port) {
        return refuse("Message not sent: the mail server port \"" + Printable(port.stored) +
                      "\" is not a number from 1 to 65535.");
    }
    const std::optional<std::string> server = settings::ReadMailServer();
    if (!server) {
        return reportProgress({MailProgress::Step::NotSent, "No mail server is set"});
    }
    server_ = *server;
    _smtp = SmtpClient::create(loop_, *server, *port.port, options_);
    _smtp->setDelegate(this);
    _smtp->setKind(kind_);
    _smtp->setMessage(std::move(*message));
    _smtp->setAllowUntrustedCertificates(settings::ReadAllowUntrustedCertificates());
    ConversationPlan plan = stepWhenReady();
    plan.startTLS = useSSL() && !_smtp->usesImplicitTls();
    _smtp->setPlan(std::move(plan));
    self_ = shared_from_this();

    reportProgress({MailProgress::Step::Sending, {}});
    eventlog::LogEntry("Connecting to the " + *server + " server...");
    _smtp->connectInBackgroundAndNotify();
}

void SSMTP::refuse(const std::string& logLine) {
    eventlog::LogEntry(logLine);
    reportProgress({MailProgress::Step::NotSent, logLine});
}

void SSMTP::reportProgress(MailProgress progress) {
    if (progress_) {
        progress_(progress);
    }
}

void SSMTP::fail(const std::string& reason) {
    if (failure_.empty()) {
        failure_ = reason;
    }
}

std::optional<MailMessage> SSMTP::compose(const std::string& recipient,
                                          const std::string& newAddress,
                                          const std::optional<std::string>& oldAddress,
                                          const std::string& usingMessage) {
    MailMessage message;
    message.subject = kSubject;
    message.recipient = recipient;
    message.content =
        NotificationBody(usingMessage, platform::CopyMachineName(), oldAddress, newAddress);
    if (oldAddress) {
        eventlog::LogEntry(message.content);
    }
    // Submission servers may accept only the account's own address as sender.
    const std::optional<std::string> from = settings::ReadEmailFrom();
    message.from = from ? PlainAddress(*from).value_or("") : recipient;
    if (message.from.empty()) {
        eventlog::LogEntry("Message not sent: the sender address \"" + Printable(*from) +
                           "\" (EmailFrom) is not a plain address (local@domain).");
        return std::nullopt;
    }
    return message;
}

ConversationPlan SSMTP::stepWhenReady() const {
    using WhenReady = ConversationPlan::WhenReady;
    ConversationPlan step;
    const std::optional<long long> mode = settings::ReadAuthenticationMode();
    if (!mode) {
        return step;  // nothing further to do: close
    }
    if (*mode == 0) {
        step.whenReady = WhenReady::Send;
        return step;
    }
    const std::optional<std::string> user = settings::ReadUsername();
    const std::optional<std::string> password = ReadSmtpPassword();
    if (!user || !password) {
        return step;
    }
    step.whenReady = WhenReady::Authenticate;
    step.username = *user;
    step.password = *password;
    step.mechanism = *mode == 1 ? "PLAIN" : "LOGIN";
    return step;
}

// Why stepWhenReady() found nothing to do.
std::string SSMTP::missingSetting() const {
    if (!settings::ReadAuthenticationMode()) {
        return "no authentication is chosen (Authentication); choose one, or None, in the "
               "preferences";
    }
    if (!settings::ReadUsername()) {
        return "the server wants a user name and none is set (Username)";
    }
    return "the server wants a password and none is stored for this user";
}

template <typename Step>
void SSMTP::guarded(Step step) {
    try {
        step();
    } catch (const std::exception& e) {
        eventlog::LogEntry("Error (" + ExceptionName(e) + "): " + e.what());
    }
}

void SSMTP::connectionEstablished() {
    eventlog::LogEntry("Connected.");
    guarded([this] {
        if (_smtp && useSSL() && _smtp->connection().isSSL()) {
            eventlog::LogEntry("Starting SSL.");
            _smtp->connection().startSSL();
        }
    });
}

void SSMTP::serviceInitialized() {
    if (!_smtp) {
        return;
    }
    if (useSSL()) {
        if (!_smtp->connection().isSSL()) {
            eventlog::LogEntry("SSL handshaking...");
            _smtp->startTLS();
            return;
        }
        eventlog::LogEntry("SSL handshaking completed.");
    }
    const ConversationPlan next = stepWhenReady();
    switch (next.whenReady) {
        case ConversationPlan::WhenReady::Close:
            // Nothing more to say: hang up rather than hold the server's line,
            // and say which setting is missing, or the mail vanishes silently.
            fail(missingSetting());
            eventlog::LogEntry("Message not sent: " + failure_ + ".");
            _smtp->close();
            break;
        case ConversationPlan::WhenReady::Send:
            _smtp->sendMessage();
            break;
        case ConversationPlan::WhenReady::Authenticate:
            _smtp->authenticate(next.username, next.password, next.mechanism);
            break;
    }
}

void SSMTP::authenticationCompleted() {
    eventlog::LogEntry("Authentication completed. Sending the message...");
    guarded([this] {
        if (_smtp) {
            _smtp->sendMessage();
        }
    });
}

void SSMTP::authenticationFailed() {
    eventlog::LogEntry("Authentication failed. Closing the connection...");
    guarded([this] {
        if (!_smtp) {
            return;
        }
        // The server's words tell a wrong password from a refused mechanism;
        // any other reply (the EHLO list when no mechanism fits) tells nothing.
        std::string failure = "Authentication failed";
        if (std::optional<std::string> reply = _smtp->lastResponse();
            reply && _smtp->lastResponseAnswersAuthentication() &&
            foundation::IsValidUtf8(*reply)) {
            eventlog::LogEntry("Server reply: " + *reply);
            failure += ": " + *reply;
        }
        fail(failure);
        _smtp->close();
    });
}

void SSMTP::messageSent() {
    eventlog::LogEntry("Message sent. Closing the connection.");
    sent_ = true;
    if (_smtp) {
        _smtp->close();
    }
}

void SSMTP::messageNotSent() {
    if (_smtp) {
        if (std::optional<std::string> reply = _smtp->lastResponse();
            reply && foundation::IsValidUtf8(*reply)) {
            eventlog::LogEntry("Message not sent: " + *reply);
            fail("Message not sent: " + *reply);
        }
        fail("Message not sent: the server refused it");
        _smtp->close();
    }
}

void SSMTP::connectionFailed(const std::string& name, const std::string& reason) {
    eventlog::LogEntry("Error (" + name + "): " + reason);
    fail("Connection failed: " + reason);
}

void SSMTP::connectionLost() {
    eventlog::LogEntry("Connection lost.");
    if (_smtp && !_smtp->lossReason().empty()) {
        eventlog::LogEntry("Error (SMTP): " + _smtp->lossReason());
        fail("Connection lost: " + _smtp->lossReason());
    }
    fail("Connection lost");
    connectionTerminated();
}

void SSMTP::connectionTimedOut() {
    eventlog::LogEntry("Connection timed out.");
    fail("Connection timed out");
    releaseClient();
}

void SSMTP::connectionTerminated() {
    eventlog::LogEntry("Connection terminated.");
    releaseClient();
}

void SSMTP::connectionCutShort() {
    eventlog::LogEntry("SMTP conversation with " + server_ + " cut short: the program is ending.");
    fail("Cut short: the program is ending");
    // The loop is ending: let go of this sender here, once this call is done,
    // rather than in work posted to it.
    const std::shared_ptr<SSMTP> last = std::move(self_);
    releaseClient();
}

void SSMTP::releaseClient() {
    if (_smtp) {
        _smtp->setDelegate(nullptr);
        _smtp.reset();
        fail("Connection terminated before the message was sent");
        reportProgress(sent_ ? MailProgress{MailProgress::Step::Sent, {}}
                             : MailProgress{MailProgress::Step::NotSent, failure_});
    }
    // The conversation is over: let the sender go, but only after this
    // callback has returned.
    if (self_) {
        loop_.post([last = std::move(self_)] {});
    }
}

}  // namespace mail
