#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>
#include <vector>

namespace mail {

// The steps of an SMTP conversation that the client reports to its delegate.
enum class SmtpEvent {
    ConnectionEstablished,  // the server greeted us
    ServiceInitialized,     // EHLO (or HELO) answered: ready for commands
    AuthenticationCompleted,
    AuthenticationFailed,
    MessageSent,
    MessageNotSent,
    ConnectionFailed,  // ended by an error the other events do not describe
    ConnectionLost,
    ConnectionTimedOut,
    ConnectionTerminated,
};

struct SmtpStage {
    SmtpEvent event;
    bool secured;  // whether the connection was secured when the stage was reached
};

// Follows one conversation through the protocol lines that libcurl's debug
// callback reports (server replies in, client commands out) and the result of
// the transfer, and names the stages the delegate hears about. libcurl's own
// text messages are never parsed: they change between versions.
class SmtpStageTracker {
public:
    explicit SmtpStageTracker(bool securedFromStart) : secured_(securedFromStart) {}

    // The conversation must authenticate with this mechanism before any mail.
    // libcurl skips authentication when the server offers none, so the
    // tracker checks the offer itself: the EHLO reply that comes before
    // authentication (the one after STARTTLS when afterStartTls) must name it.
    void requireAuthentication(std::string mechanism, bool afterStartTls);

    // One or more complete reply lines from the server; returns the stages
    // they reach, in order.
    std::vector<SmtpStage> serverLines(std::string_view text);
    // One command line sent by the client (credentials never matter here).
    void clientLine(std::string_view line);
    // The transfer is over; returns the closing stages, always ending with one
    // of ConnectionLost, ConnectionTimedOut or ConnectionTerminated.
    // connectOnly: the conversation was meant to stop once the service was ready.
    std::vector<SmtpStage> finish(CURLcode result, bool connectOnly) const;

    bool secured() const { return secured_; }
    // The server's last complete reply received before we said QUIT, without
    // line ends; continuation lines are joined with "\n".
    const std::string& lastReply() const { return lastReply_; }
    bool inMailTransaction() const { return mailStarted_; }
    // Whether lastReply() answered an AUTH command.
    bool lastReplyAnswersAuthentication() const { return lastReplyToAuth_; }
    // The server did not offer the required mechanism: the conversation must
    // stop before it goes any further.
    bool authenticationUnavailable() const { return authUnavailable_; }

private:
    enum class Command { None, Greeting, Ehlo, StartTls, Auth, Mail, Quit, Other };

    void serverLine(std::string_view line, std::vector<SmtpStage>& stages);
    void noteOfferedMechanisms(std::string_view line);
    void checkAuthenticationOffer();
    int lastReplyCode() const;

    Command awaiting_ = Command::Greeting;
    bool secured_;
    bool tlsAccepted_ = false;
    bool greeted_ = false;
    bool mailStarted_ = false;
    bool quitSent_ = false;
    bool saw221AfterQuit_ = false;
    bool lastReplyToAuth_ = false;
    std::string requiredMechanism_;  // empty: no authentication required
    bool requiredAfterStartTls_ = false;
    bool mechanismOffered_ = false;
    bool authUnavailable_ = false;
    std::string pendingReply_;
    std::string lastReply_;
};

// Whether a transfer result comes from the TLS layer (handshake, certificate,
// STARTTLS refused), which the error line names as such.
bool IsTlsFailure(CURLcode result);

}  // namespace mail
