#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

// What a caller of the SMTP client sees of it without its threads: the
// delegate it reports to, the plan it follows and the options it takes.
namespace mail {

// What a notification is about. Conversations of one kind go out one at a
// time, in order, so a mail server that hangs holds one connection per kind.
enum class MailKind { Internal, External, Test };

// Hears how a conversation goes. Every call arrives on the client's run loop,
// one at a time, in the order the conversation reached its stages.
class SmtpClientDelegate {
public:
    virtual ~SmtpClientDelegate() = default;
    virtual void connectionEstablished() = 0;
    virtual void serviceInitialized() = 0;
    virtual void authenticationCompleted() = 0;
    virtual void authenticationFailed() = 0;
    virtual void messageSent() = 0;
    virtual void messageNotSent() = 0;
    // An error that no other call describes (a refused certificate, an
    // unknown host...); connectionTerminated() follows.
    virtual void connectionFailed(const std::string& name, const std::string& reason) = 0;
    // Exactly one of these three ends every conversation.
    virtual void connectionLost() = 0;
    virtual void connectionTimedOut() = 0;
    virtual void connectionTerminated() = 0;
    // The program ended before the conversation did; nothing follows.
    virtual void connectionCutShort() = 0;
};

// What the delegate will ask for once the SMTP service is ready. libcurl runs
// a whole conversation in one pass, so the client has to know this before it
// connects; the delegate still asks for each step from its callbacks, and a
// request the plan did not foresee ends the conversation without sending.
struct ConversationPlan {
    enum class WhenReady { Close, Send, Authenticate };
    bool startTLS = false;  // upgrade an unsecured connection with STARTTLS
    WhenReady whenReady = WhenReady::Close;
    std::string username;   // for Authenticate
    std::string password;   // for Authenticate
    std::string mechanism;  // "PLAIN" or "LOGIN", never negotiated down

    bool operator==(const ConversationPlan&) const = default;
};

struct SmtpTimeouts {
    std::chrono::milliseconds connect{20'000};
    std::chrono::milliseconds response{60'000};  // per server reply, the greeting included
    std::chrono::milliseconds total{300'000};
};

// How a client connects. The defaults are the program's; tests change them
// (an unprivileged port for implicit TLS, a private certificate authority,
// short time-outs).
struct SmtpOptions {
    // Connections to this port speak TLS from the first byte (465: SMTPS).
    static constexpr long kImplicitTlsPort = 465;
    long implicitTlsPort = kImplicitTlsPort;
    SmtpTimeouts timeouts;
    // Trust only the authorities in this file; empty: the system trust store.
    std::string caFile;
    // Starts a mail worker running body; throws std::system_error when the
    // system cannot. Empty: std::thread. Tests make it fail.
    std::function<std::thread(std::function<void()>)> startWorker;
};

}  // namespace mail
