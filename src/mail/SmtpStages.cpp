#include "mail/SmtpStages.h"

#include <algorithm>
#include <cctype>

namespace mail {
namespace {

bool StartsWithWord(std::string_view line, std::string_view word) {
    if (line.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(line[i])) != word[i]) {
            return false;
        }
    }
    return line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\r';
}

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// "250-..." continues a reply, "250 ..." (or a bare "250") ends it.
bool IsFinalLine(std::string_view line) {
    return line.size() < 4 || line[3] != '-';
}

int ReplyCode(std::string_view reply) {
    if (reply.size() < 3 || !std::all_of(reply.begin(), reply.begin() + 3, [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        })) {
        return 0;
    }
    return (reply[0] - '0') * 100 + (reply[1] - '0') * 10 + (reply[2] - '0');
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// Whether an EHLO reply line ("250-AUTH PLAIN LOGIN", or the older
// "250-AUTH=PLAIN") offers mechanism.
bool OffersMechanism(std::string_view line, std::string_view mechanism) {
    if (line.size() < 9 || !SameWord(line.substr(4, 4), "AUTH") ||
        (line[8] != ' ' && line[8] != '=')) {
        return false;
    }
    line.remove_prefix(9);
    while (!line.empty()) {
        const std::size_t end = std::min(line.find(' '), line.size());
        if (SameWord(line.substr(0, end), mechanism)) {
            return true;
        }
        line.remove_prefix(std::min(end + 1, line.size()));
    }
    return false;
}

}  // namespace

void SmtpStageTracker::requireAuthentication(std::string mechanism, bool afterStartTls) {
    requiredMechanism_ = std::move(mechanism);
    requiredAfterStartTls_ = afterStartTls;
}

std::vector<SmtpStage> SmtpStageTracker::serverLines(std::string_view text) {
    std::vector<SmtpStage> stages;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line =
            text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        serverLine(TrimLineEnd(line), stages);
    }
    return stages;
}

void SmtpStageTracker::serverLine(std::string_view line, std::vector<SmtpStage>& stages) {
    if (!pendingReply_.empty()) {
        pendingReply_ += '\n';
    }
    pendingReply_ += line;
    if (awaiting_ == Command::Ehlo) {
        noteOfferedMechanisms(line);
    }
    if (!IsFinalLine(line)) {
        return;
    }
    const int code = ReplyCode(line);
    if (quitSent_) {
        saw221AfterQuit_ = saw221AfterQuit_ || code == 221;
    } else {
        lastReply_ = std::move(pendingReply_);
        lastReplyToAuth_ = awaiting_ == Command::Auth;
    }
    pendingReply_.clear();

    switch (awaiting_) {
        case Command::Greeting:
            if (code == 220 && !greeted_) {
                greeted_ = true;
                stages.push_back({SmtpEvent::ConnectionEstablished, secured_});
            }
            break;
        case Command::Ehlo:
            if (code / 100 == 2) {
                stages.push_back({SmtpEvent::ServiceInitialized, secured_});
                checkAuthenticationOffer();
            }
            break;
        case Command::StartTls:
            tlsAccepted_ = code == 220;
            break;
        case Command::Auth:
            if (code == 235) {
                stages.push_back({SmtpEvent::AuthenticationCompleted, secured_});
            }
            break;
        default:
            break;
    }
    // Further replies (a 334 challenge answered by a bare credential line)
    // belong to the same command until the client names a new one.
}

void SmtpStageTracker::noteOfferedMechanisms(std::string_view line) {
    if (!requiredMechanism_.empty() && OffersMechanism(line, requiredMechanism_)) {
        mechanismOffered_ = true;
    }
}

void SmtpStageTracker::checkAuthenticationOffer() {
    const bool decisive = secured_ || !requiredAfterStartTls_;
    if (!requiredMechanism_.empty() && decisive && !mechanismOffered_) {
        authUnavailable_ = true;
    }
    mechanismOffered_ = false;
}

void SmtpStageTracker::clientLine(std::string_view line) {
    // The handshake happens between the server's 220 to STARTTLS and our
    // next command, which therefore goes out over TLS.
    if (tlsAccepted_) {
        secured_ = true;
        tlsAccepted_ = false;
    }
    if (StartsWithWord(line, "EHLO") || StartsWithWord(line, "HELO")) {
        awaiting_ = Command::Ehlo;
        mechanismOffered_ = false;
    } else if (StartsWithWord(line, "STARTTLS")) {
        awaiting_ = Command::StartTls;
    } else if (StartsWithWord(line, "AUTH")) {
        awaiting_ = Command::Auth;
    } else if (StartsWithWord(line, "MAIL")) {
        awaiting_ = Command::Mail;
        mailStarted_ = true;
    } else if (StartsWithWord(line, "QUIT")) {
        awaiting_ = Command::Quit;
        quitSent_ = true;
    } else if (awaiting_ != Command::Auth) {
        awaiting_ = Command::Other;
    }
}

int SmtpStageTracker::lastReplyCode() const {
    std::size_t lastLine = lastReply_.rfind('\n');
    return ReplyCode(lastLine == std::string::npos
                         ? std::string_view(lastReply_)
                         : std::string_view(lastReply_).substr(lastLine + 1));
}

std::vector<SmtpStage> SmtpStageTracker::finish(CURLcode result, bool connectOnly) const {
    const auto stage = [this](SmtpEvent e) { return SmtpStage{e, secured_}; };
    if (result == CURLE_OPERATION_TIMEDOUT) {
        return {stage(SmtpEvent::ConnectionTimedOut)};
    }
    // Stopped by us before any mail: the server could not authenticate us.
    if (authUnavailable_) {
        return {stage(SmtpEvent::AuthenticationFailed), stage(SmtpEvent::ConnectionTerminated)};
    }
    // Only we abort transfers: before any mail, that is just hanging up.
    if (result == CURLE_OK || (result == CURLE_ABORTED_BY_CALLBACK && !mailStarted_)) {
        if (connectOnly || !mailStarted_) {
            return {stage(SmtpEvent::ConnectionTerminated)};
        }
        return {stage(SmtpEvent::MessageSent), stage(SmtpEvent::ConnectionTerminated)};
    }
    if (result == CURLE_LOGIN_DENIED) {
        return {stage(SmtpEvent::AuthenticationFailed), stage(SmtpEvent::ConnectionTerminated)};
    }
    // The server refused the sender, a recipient or the message itself, or we
    // withheld the message: in every case the conversation was closed in order.
    if (mailStarted_ && (lastReplyCode() >= 400 || result == CURLE_ABORTED_BY_CALLBACK)) {
        return {stage(SmtpEvent::MessageNotSent), stage(SmtpEvent::ConnectionTerminated)};
    }
    const bool dropped =
        result == CURLE_GOT_NOTHING || result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR;
    if (dropped && !saw221AfterQuit_) {
        return {stage(SmtpEvent::ConnectionLost)};
    }
    return {stage(SmtpEvent::ConnectionFailed), stage(SmtpEvent::ConnectionTerminated)};
}

bool IsTlsFailure(CURLcode result) {
    switch (result) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
            return true;
        default:
            return false;
    }
}

}  // namespace mail
