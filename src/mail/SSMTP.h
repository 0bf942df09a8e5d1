#pragma once

#include <memory>
#include <optional>
#include <string>

#include "mail/SmtpClient.h"
#include "platform/RunLoop.h"

// Sends one notification e-mail to one recipient: each sender holds one SMTP
// conversation and writes one event-log line per step of it. Nothing is
// reported back to the caller, which creates a sender, calls sendMessage()
// once and lets it go; the sender keeps itself alive until its conversation
// has ended.
//
//     SSMTP::create(loop)->sendMessage(newAddress, oldAddress, recipient, format);
class SSMTP final : public mail::SmtpClientDelegate, public std::enable_shared_from_this<SSMTP> {
public:
    static std::shared_ptr<SSMTP> create(platform::RunLoop& loop);
    ~SSMTP() override;

    // The user default "useSSL", read afresh; YES when absent.
    bool useSSL() const;

    // oldAddress absent: the body is the fixed "has refreshed" text.
    // usingMessage: a format whose "%@" take machine name, old and new address.
    void sendMessage(const std::string& newAddress, const std::optional<std::string>& oldAddress,
                     const std::optional<std::string>& toRecipient,
                     const std::string& usingMessage);

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

private:
    explicit SSMTP(platform::RunLoop& loop) : loop_(loop) {}

    // The message to recipient, or nothing (logged) when the settings make
    // one impossible.
    static std::optional<mail::MailMessage> compose(const std::string& recipient,
                                                    const std::string& newAddress,
                                                    const std::optional<std::string>& oldAddress,
                                                    const std::string& usingMessage);
    // What the settings ask for once the service is ready (STARTTLS aside).
    mail::ConversationPlan stepWhenReady() const;
    void releaseClient();
    template <typename Step>
    void guarded(Step step);

    platform::RunLoop& loop_;
    std::shared_ptr<mail::SmtpClient> _smtp;
    std::shared_ptr<SSMTP> self_;  // held while a conversation is in flight
};
