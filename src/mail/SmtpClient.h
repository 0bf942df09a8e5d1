#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "mail/MailMessage.h"
#include "mail/MailWorkers.h"
#include "mail/SmtpClientDelegate.h"
#include "platform/RunLoop.h"

namespace mail {

struct SmtpStage;

// An SMTP client over libcurl: one conversation, held by one of the loop's
// mail workers (one per kind, so conversations of a kind take turns) and
// reported to its delegate on the run loop. The client keeps itself alive
// (shared ownership) until its last callback has run, so its owner may let
// it go at any time; clearing the delegate stops all further calls.
//
// Server certificates and host names are verified against the system trust
// store, or the authorities the options name.
class SmtpClient : public std::enable_shared_from_this<SmtpClient>, public QueuedConversation {
public:
    static std::shared_ptr<SmtpClient> create(platform::RunLoop& loop, std::string name, long port,
                                              SmtpOptions options = {});
    ~SmtpClient() override = default;
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Set before connecting.
    void setDelegate(SmtpClientDelegate* delegate) { delegate_ = delegate; }
    void setMessage(MailMessage message) { message_ = std::move(message); }
    void setPlan(ConversationPlan plan) { plan_ = std::move(plan); }
    void setAllowUntrustedCertificates(bool allow) { allowUntrusted_ = allow; }
    void setKind(MailKind kind) { kind_ = kind; }

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

    // Whether this client's port speaks TLS from the first byte.
    bool usesImplicitTls() const { return port_ == options_.implicitTlsPort; }

private:
    SmtpClient(platform::RunLoop& loop, std::string name, long port, SmtpOptions options);

    struct Conversation;
    struct Reply {
        std::string text;
        bool answersAuthentication = false;
    };
    // The worker's side.
    void converse(const transfer::CancelToken& cancel) override;
    void abandon() override;
    void cutShort() override;
    // One try; false when it could not begin for lack of resources.
    bool converseOnce(const transfer::CancelToken& cancel);
    bool waitBeforeRetry(std::chrono::milliseconds delay);
    bool setUrl(Conversation& c, const std::string& ehloName) const;
    void setTransportOptions(Conversation& c) const;
    void setEnvelope(Conversation& c, const std::optional<std::string>& fqdn) const;
    void setCallbacks(Conversation& c);
    void onProtocolText(bool fromServer, std::string_view text, Conversation& c);
    size_t readBody(char* buffer, size_t size, Conversation& c);
    bool closeRequested() const;
    bool waitUntilSendRequested();
    void report(const SmtpStage& stage, Reply lastReply,
                std::pair<std::string, std::string> error = {});
    void reportFailure(const std::string& reason);
    void deliver(const SmtpStage& stage, const Reply& lastReply,
                 const std::pair<std::string, std::string>& error);

    platform::RunLoop& loop_;
    const std::string name_;
    const long port_;
    SmtpClientDelegate* delegate_ = nullptr;
    MailMessage message_;
    ConversationPlan plan_;
    bool allowUntrusted_ = false;
    MailKind kind_ = MailKind::Internal;
    const SmtpOptions options_;
    std::shared_ptr<MailWorkers> workers_;  // set before the worker starts

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
    bool sendRequested_ = false;
    bool closeRequested_ = false;
    unsigned posted_ = 0;
    unsigned delivered_ = 0;
};

}  // namespace mail
