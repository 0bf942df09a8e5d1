#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "mail/MailMessage.h"
#include "mail/SmtpStages.h"
#include "platform/RunLoop.h"

namespace mail {

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

// An SMTP client over libcurl: one conversation on its own worker thread,
// reported to its delegate on the run loop. The client keeps itself alive
// (shared ownership) until its last callback has run, so its owner may let
// it go at any time; clearing the delegate stops all further calls.
//
// Server certificates and host names are verified against the system trust
// store, or against the file named by the environment variable
// ORBALEN_CA_BUNDLE when that is set (for private test authorities).
class SmtpClient : public std::enable_shared_from_this<SmtpClient> {
public:
    // Connections to this port speak TLS from the first byte (465: SMTPS).
    static constexpr long kImplicitTlsPort = 465;

    static std::shared_ptr<SmtpClient> create(platform::RunLoop& loop, std::string name, long port);
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Set before connecting.
    void setDelegate(SmtpClientDelegate* delegate) { delegate_ = delegate; }
    void setMessage(MailMessage message) { message_ = std::move(message); }
    void setPlan(ConversationPlan plan) { plan_ = std::move(plan); }
    void setAllowUntrustedCertificates(bool allow) { allowUntrusted_ = allow; }
    void setTimeouts(const SmtpTimeouts& timeouts) { timeouts_ = timeouts; }

    // Returns at once; the outcome arrives as connectionEstablished() or as
    // one of the ending callbacks.
    void connectInBackgroundAndNotify();

    class Connection {
    public:
        bool isSSL() const { return secured_; }
        // TLS is negotiated by the client itself when the connection is made,
        // so this only acknowledges a connection that is already secured.
        void startSSL() {}

    private:
        friend class SmtpClient;
        bool secured_ = false;
    };
    Connection& connection() { return connection_; }

    void startTLS();
    void authenticate(const std::string& username, const std::string& password,
                      const std::string& mechanism);
    void sendMessage();
    // The server's last reply before QUIT, as bytes; nothing when there was none.
    std::optional<std::string> lastResponse() const;
    // Whether lastResponse() answered an AUTH command (rather than, say, EHLO).
    bool lastResponseAnswersAuthentication() const { return lastReplyToAuth_; }
    // Why libcurl gave up on a conversation it reported as lost, when it said.
    const std::string& lossReason() const { return lossReason_; }
    // Ends the conversation; the end is reported by connectionTerminated().
    void close();

    // Tests cannot listen on 465 without privileges; this moves the
    // implicit-TLS rule to another port for the whole process.
    static void setImplicitTlsPortForTesting(long port);
    // Time-outs given to clients created from now on.
    static void setDefaultTimeouts(const SmtpTimeouts& timeouts);

    // Whether this client's port speaks TLS from the first byte.
    bool usesImplicitTls() const;

private:
    SmtpClient(platform::RunLoop& loop, std::string name, long port);

    struct Transfer;
    struct Reply {
        std::string text;
        bool answersAuthentication = false;
    };
    void startWorker();
    void run();
    void onProtocolText(bool fromServer, std::string_view text, Transfer& transfer);
    size_t readBody(char* buffer, size_t size, Transfer& transfer);
    bool waitUntilSendRequested();
    std::thread takeWorker();
    static Reply lastReplyOf(const Transfer& transfer);
    void report(const SmtpStage& stage, Reply lastReply,
                std::pair<std::string, std::string> error = {});
    void deliver(const SmtpStage& stage, const Reply& lastReply,
                 const std::pair<std::string, std::string>& error);
    void abandon();

    platform::RunLoop& loop_;
    const std::string name_;
    const long port_;
    SmtpClientDelegate* delegate_ = nullptr;
    MailMessage message_;
    ConversationPlan plan_;
    bool allowUntrusted_ = false;
    SmtpTimeouts timeouts_;
    std::string caBundle_;

    // Main loop only.
    Connection connection_;
    std::string lastReply_;
    bool lastReplyToAuth_ = false;
    std::string lossReason_;
    bool started_ = false;
    bool finished_ = false;

    // Shared with the worker.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;  // set by the launcher thread
    bool sendRequested_ = false;
    bool closeRequested_ = false;
    unsigned posted_ = 0;
    unsigned delivered_ = 0;
};

}  // namespace mail
