#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mail/MailMessage.h"
#include "mail/SmtpClientDelegate.h"
#include "platform/RunLoop.h"

namespace mail {

class SmtpClient;

// How one conversation is going, for a window that shows it.
struct MailProgress {
    enum class Step { Sending, Sent, NotSent };
    Step step = Step::Sending;
    std::string detail;  // NotSent: the reason, as the log gives it
};

// Sends one notification e-mail to one recipient: each sender holds one SMTP
// conversation and writes one event-log line per step of it. The caller
// creates a sender, calls sendMessage() once and lets it go; the sender keeps
// itself alive until its conversation has ended. Only a progress handler
// hears the outcome.
//
// Conversations wait their turn on the loop's mail workers: one conversation
// of each kind at a time, at most MailWorkers::kMaxInFlight of a kind queued
// or in progress (the sender logs the ones beyond). The loop's owner ends
// them with EndConversations() before the loop goes.
//
//     SSMTP::create(loop)->sendMessage(newAddress, oldAddress, recipient, format);
class SSMTP final : private SmtpClientDelegate, public std::enable_shared_from_this<SSMTP> {
public:
    // options: how the client connects; tests change them.
    static std::shared_ptr<SSMTP> create(platform::RunLoop& loop, SmtpOptions options = {});
    ~SSMTP() override;

    // Set before sendMessage(); Internal when not set.
    void setKind(MailKind kind) { kind_ = kind; }
    // Called on the loop as the conversation goes: Sending once it starts,
    // then Sent or NotSent. Set before sendMessage().
    void setProgressHandler(std::function<void(const MailProgress&)> handler) {
        progress_ = std::move(handler);
    }

    // The user default "useSSL", read afresh; YES when absent.
    bool useSSL() const;

    // oldAddress absent: the body is the fixed "has refreshed" text.
    // usingMessage: a format whose "%@" take machine name, old and new address.
    void sendMessage(const std::string& newAddress, const std::optional<std::string>& oldAddress,
                     const std::optional<std::string>& toRecipient,
                     const std::string& usingMessage);

private:
    SSMTP(platform::RunLoop& loop, SmtpOptions options)
        : loop_(loop), options_(std::move(options)) {}

    // The client's calls, one per step of the conversation.
    void connectionEstablished() override;
    void serviceInitialized() override;
    void authenticationCompleted() override;
    void authenticationFailed() override;
    void messageSent() override;
    void messageNotSent() override;
    void connectionFailed(const std::string& name, const std::string& reason) override;
    void connectionLost() override;
    void connectionTimedOut() override;
    void connectionTerminated() override;
    void connectionCutShort() override;

    // The message to recipient, or nothing (logged) when the settings make
    // one impossible.
    static std::optional<MailMessage> compose(const std::string& recipient,
                                              const std::string& newAddress,
                                              const std::optional<std::string>& oldAddress,
                                              const std::string& usingMessage);
    // What the settings ask for once the service is ready (STARTTLS aside).
    ConversationPlan stepWhenReady() const;
    std::string missingSetting() const;
    // Why the message did not go; the first reason stands.
    void fail(const std::string& reason);
    void refuse(const std::string& logLine);
    void reportProgress(MailProgress progress);
    // The conversation is over: tells the outcome and lets go of the client.
    void releaseClient();
    template <typename Step>
    void guarded(Step step);

    platform::RunLoop& loop_;
    const SmtpOptions options_;
    std::shared_ptr<SmtpClient> _smtp;
    std::shared_ptr<SSMTP> self_;  // held while a conversation is in flight
    MailKind kind_ = MailKind::Internal;
    std::function<void(const MailProgress&)> progress_;
    std::string server_;
    bool sent_ = false;
    std::string failure_;
};

// On loop's thread, before loop goes: ends every conversation reporting to
// loop. Those in progress are cancelled, those waiting dropped; each is cut
// short (logged as such, its sender told NotSent) and nothing of them reaches
// loop afterwards. Returns within a fraction of a second.
void EndConversations(platform::RunLoop& loop);

}  // namespace mail
