#include "mail/SSMTP.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "foundation/Utf8.h"
#include "mail/MailLog.h"
#include "mail/NotificationBody.h"
#include "mail/SenderSettings.h"
#include "platform/MachineName.h"
#include "settings/Preferences.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"

namespace {

using mail::LogMailEvent;
namespace keys = settings::keys;

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
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\0') {
            out += "\\0";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::shared_ptr<SSMTP> SSMTP::create(platform::RunLoop& loop) {
    return std::shared_ptr<SSMTP>(new SSMTP(loop));
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
    if (!toRecipient || toRecipient->empty() || _smtp) {
        return;
    }
    if (!mail::NonEmptyString(settings::CopyAppValue(keys::kMailServer))) {
        return;
    }
    const std::string& recipient = *toRecipient;
    if (!mail::IsSafeAddressText(recipient)) {
        LogMailEvent("Message not composed: the recipient \"" + Printable(recipient) +
                     "\" contains a line break or NUL.");
        return;
    }
    LogMailEvent("Composing message to " + recipient + ".");
    settings::AppSynchronize();

    mail::MailMessage message;
    message.subject = kSubject;
    message.from = recipient;
    message.recipient = recipient;
    message.content =
        mail::NotificationBody(usingMessage, platform::CopyMachineName(), oldAddress, newAddress);
    if (oldAddress) {
        LogMailEvent(message.content);
    }

    const std::optional<settings::Value> portValue = settings::CopyAppValue(keys::kPort);
    const std::optional<long> port = mail::PortFromSetting(portValue);
    if (!port) {
        LogMailEvent("Message not sent: the mail server port \"" +
                     Printable(mail::DescribeValue(*portValue)) +
                     "\" is not a number from 1 to 65535.");
        return;
    }

    const std::optional<std::string> server =
        mail::NonEmptyString(settings::CopyAppValue(keys::kMailServer));
    if (!server) {
        return;
    }
    _smtp = mail::SmtpClient::create(loop_, *server, *port);
    _smtp->setDelegate(this);
    _smtp->setMessage(std::move(message));
    _smtp->setAllowUntrustedCertificates(settings::ReadAllowUntrustedCertificates());
    mail::ConversationPlan plan = stepWhenReady();
    plan.startTLS = useSSL() && !_smtp->usesImplicitTls();
    _smtp->setPlan(std::move(plan));
    self_ = shared_from_this();

    LogMailEvent("Connecting to the " + *server + " server...");
    _smtp->connectInBackgroundAndNotify();
}

mail::ConversationPlan SSMTP::stepWhenReady() const {
    using WhenReady = mail::ConversationPlan::WhenReady;
    mail::ConversationPlan step;
    const std::optional<settings::Value> authentication =
        settings::CopyAppValue(keys::kAuthentication);
    if (!authentication) {
        return step;  // nothing further to do: close
    }
    const long long mode = mail::IntValueOf(*authentication).value_or(0);
    if (mode == 0) {
        step.whenReady = WhenReady::Send;
        return step;
    }
    const std::optional<settings::Value> user = settings::CopyAppValue(keys::kUsername);
    const std::optional<settings::Value> password = settings::CopyAppValue(keys::kUserPassword);
    if (!user || !password || !std::holds_alternative<std::string>(*user) ||
        !std::holds_alternative<std::string>(*password)) {
        return step;
    }
    step.whenReady = WhenReady::Authenticate;
    step.username = std::get<std::string>(*user);
    step.password = std::get<std::string>(*password);
    step.mechanism = mode == 1 ? "PLAIN" : "LOGIN";
    return step;
}

template <typename Step>
void SSMTP::guarded(Step step) {
    try {
        step();
    } catch (const std::exception& e) {
        LogMailEvent("Error (" + ExceptionName(e) + "): " + e.what());
    }
}

void SSMTP::connectionEstablished() {
    LogMailEvent("Connected.");
    guarded([this] {
        if (_smtp && useSSL() && _smtp->connection().isSSL()) {
            LogMailEvent("Starting SSL.");
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
            LogMailEvent("SSL handshaking...");
            _smtp->startTLS();
            return;
        }
        LogMailEvent("SSL handshaking completed.");
    }
    const mail::ConversationPlan next = stepWhenReady();
    switch (next.whenReady) {
        case mail::ConversationPlan::WhenReady::Close:
            // Nothing more to say: hang up rather than hold the server's line.
            _smtp->close();
            break;
        case mail::ConversationPlan::WhenReady::Send:
            _smtp->sendMessage();
            break;
        case mail::ConversationPlan::WhenReady::Authenticate:
            _smtp->authenticate(next.username, next.password, next.mechanism);
            break;
    }
}

void SSMTP::authenticationCompleted() {
    LogMailEvent("Authentication completed. Sending the message...");
    guarded([this] {
        if (_smtp) {
            _smtp->sendMessage();
        }
    });
}

void SSMTP::authenticationFailed() {
    LogMailEvent("Authentication failed. Closing the connection...");
    guarded([this] {
        if (!_smtp) {
            return;
        }
        // The server's words tell a wrong password from a refused mechanism.
        if (std::optional<std::string> reply = _smtp->lastResponse();
            reply && foundation::IsValidUtf8(*reply)) {
            LogMailEvent("Server reply: " + *reply);
        }
        _smtp->close();
    });
}

void SSMTP::messageSent() {
    LogMailEvent("Message sent. Closing the connection.");
    if (_smtp) {
        _smtp->close();
    }
}

void SSMTP::messageNotSent() {
    if (_smtp) {
        if (std::optional<std::string> reply = _smtp->lastResponse();
            reply && foundation::IsValidUtf8(*reply)) {
            LogMailEvent("Message not sent: " + *reply);
        }
        _smtp->close();
    }
}

void SSMTP::connectionFailed(const std::string& name, const std::string& reason) {
    LogMailEvent("Error (" + name + "): " + reason);
}

void SSMTP::connectionLost() {
    LogMailEvent("Connection lost.");
    connectionTerminated();
}

void SSMTP::connectionTimedOut() {
    LogMailEvent("Connection timed out.");
    releaseClient();
}

void SSMTP::connectionTerminated() {
    LogMailEvent("Connection terminated.");
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
