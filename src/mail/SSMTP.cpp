#include "mail/SSMTP.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "foundation/Utf8.h"
#include "log/EventLog.h"
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
    if (!toRecipient || toRecipient->empty() || _smtp || !settings::ReadMailServer()) {
        return;
    }
    const std::optional<std::string> recipient = PlainAddress(*toRecipient);
    if (!recipient) {
        eventlog::LogEntry("Message not composed: the recipient \"" + Printable(*toRecipient) +
                           "\" is not a plain address (local@domain).");
        return;
    }
    eventlog::LogEntry("Composing message to " + *recipient + ".");
    settings::AppSynchronize();

    std::optional<MailMessage> message = compose(*recipient, newAddress, oldAddress, usingMessage);
    const settings::MailPort port = settings::ReadMailPort();
    if (message && !port.port) {
        eventlog::LogEntry("Message not sent: the mail server port \"" + Printable(port.stored) +
                           "\" is not a number from 1 to 65535.");
    }
    const std::optional<std::string> server = settings::ReadMailServer();
    if (!message || !port.port || !server) {
        return;
    }
    _smtp = SmtpClient::create(loop_, *server, *port.port, options_);
    _smtp->setDelegate(this);
    _smtp->setMessage(std::move(*message));
    _smtp->setAllowUntrustedCertificates(settings::ReadAllowUntrustedCertificates());
    ConversationPlan plan = stepWhenReady();
    plan.startTLS = useSSL() && !_smtp->usesImplicitTls();
    _smtp->setPlan(std::move(plan));
    self_ = shared_from_this();

    eventlog::LogEntry("Connecting to the " + *server + " server...");
    _smtp->connectInBackgroundAndNotify();
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
            // Nothing more to say: hang up rather than hold the server's line.
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
        if (std::optional<std::string> reply = _smtp->lastResponse();
            reply && _smtp->lastResponseAnswersAuthentication() &&
            foundation::IsValidUtf8(*reply)) {
            eventlog::LogEntry("Server reply: " + *reply);
        }
        _smtp->close();
    });
}

void SSMTP::messageSent() {
    eventlog::LogEntry("Message sent. Closing the connection.");
    if (_smtp) {
        _smtp->close();
    }
}

void SSMTP::messageNotSent() {
    if (_smtp) {
        if (std::optional<std::string> reply = _smtp->lastResponse();
            reply && foundation::IsValidUtf8(*reply)) {
            eventlog::LogEntry("Message not sent: " + *reply);
        }
        _smtp->close();
    }
}

void SSMTP::connectionFailed(const std::string& name, const std::string& reason) {
    eventlog::LogEntry("Error (" + name + "): " + reason);
}

void SSMTP::connectionLost() {
    eventlog::LogEntry("Connection lost.");
    if (_smtp && !_smtp->lossReason().empty()) {
        eventlog::LogEntry("Error (SMTP): " + _smtp->lossReason());
    }
    connectionTerminated();
}

void SSMTP::connectionTimedOut() {
    eventlog::LogEntry("Connection timed out.");
    releaseClient();
}

void SSMTP::connectionTerminated() {
    eventlog::LogEntry("Connection terminated.");
    releaseClient();
}

void SSMTP::releaseClient() {
    if (_smtp) {
        _smtp->setDelegate(nullptr);
        _smtp.reset();
    }
    // The conversation is over: let the sender go, but only after this
    // callback has returned.
    if (self_) {
        loop_.post([last = std::move(self_)] {});
    }
}

}  // namespace mail
