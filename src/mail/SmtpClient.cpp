#include "mail/SmtpClient.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "log/EventLog.h"
#include "mail/LocalIdentity.h"
#include "mail/SmtpStages.h"
#include "transfer/CancellablePerform.h"
#include "transfer/CurlHandles.h"

namespace mail {
namespace {

using namespace std::chrono_literals;

// A conversation that finds no memory, handle or socket to begin with is
// tried this many times in all, waiting 1 s, 2 s, 4 s... between tries.
constexpr int kTries = 5;

// Results that mean the transfer never got going for lack of resources.
bool LackedResources(CURLcode result) {
    return result == CURLE_FAILED_INIT || result == CURLE_OUT_OF_MEMORY;
}

bool IsEnding(SmtpEvent event) {
    return event == SmtpEvent::ConnectionLost || event == SmtpEvent::ConnectionTimedOut ||
           event == SmtpEvent::ConnectionTerminated;
}

long Seconds(std::chrono::milliseconds ms) {
    return std::max<long>(1, static_cast<long>((ms.count() + 999) / 1000));
}

}  // namespace

// What one conversation on the worker owns, and what libcurl's callbacks
// reach through their user pointer.
struct SmtpClient::Conversation {
    Conversation(SmtpClient& c, bool secured) : client(c), tracker(secured) {}

    // Cleaning up the easy handle says QUIT on a connection still open, so
    // this is called while the callbacks still have a target.
    void closeConnection() { easy.reset(); }
    Reply lastReply() const {
        return {tracker.lastReply(), tracker.lastReplyAnswersAuthentication()};
    }

    SmtpClient& client;
    bool reported = false;  // a stage has gone to the loop: no retry after this
    SmtpStageTracker tracker;
    transfer::EasyHandle easy = transfer::NewEasyHandle();
    transfer::UrlHandle url = transfer::NewUrlHandle();
    transfer::StringList recipients;
    std::string mailFrom;
    std::string payload;
    std::size_t sent = 0;
    bool bodyReleased = false;
    bool connectOnly = false;
    char error[CURL_ERROR_SIZE] = {};
};

std::shared_ptr<SmtpClient> SmtpClient::create(platform::RunLoop& loop, std::string name, long port,
                                               SmtpOptions options) {
    return std::shared_ptr<SmtpClient>(
        new SmtpClient(loop, std::move(name), port, std::move(options)));
}

SmtpClient::SmtpClient(platform::RunLoop& loop, std::string name, long port, SmtpOptions options)
    : loop_(loop), name_(std::move(name)), port_(port), options_(std::move(options)) {}

void SmtpClient::connectInBackgroundAndNotify() {
    if (started_ || finished_) {
        return;
    }
    started_ = true;
    connection_.secured_ = usesImplicitTls();
    workers_ = MailWorkers::forLoop(loop_);
    workers_->submit(kind_, shared_from_this(), options_);
}

void SmtpClient::startTLS() {
    if (!plan_.startTLS) {
        close();
    }
}

void SmtpClient::authenticate(const std::string& username, const std::string& password,
                              const std::string& mechanism) {
    const bool planned = plan_.whenReady == ConversationPlan::WhenReady::Authenticate &&
                         plan_.username == username && plan_.password == password &&
                         plan_.mechanism == mechanism;
    if (!planned) {
        close();
    }
}

void SmtpClient::sendMessage() {
    std::lock_guard lock(mutex_);
    sendRequested_ = true;
    changed_.notify_all();
}

void SmtpClient::close() {
    abandon();
}

void SmtpClient::cutShort() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (SmtpClientDelegate* d = delegate_; d != nullptr) {
        d->connectionCutShort();
    }
}

void SmtpClient::abandon() {
    std::lock_guard lock(mutex_);
    closeRequested_ = true;
    changed_.notify_all();
}

std::optional<std::string> SmtpClient::lastResponse() const {
    if (lastReply_.empty()) {
        return std::nullopt;
    }
    return lastReply_;
}

void SmtpClient::converse(const transfer::CancelToken& cancel) {
    auto delay = std::chrono::milliseconds(1s);
    for (int tries = 1; !converseOnce(cancel); ++tries, delay *= 2) {
        if (tries == kTries) {
            reportFailure("Not enough resources (memory, handles) to talk to the server \"" +
                          name_ + "\".");
            return;
        }
        workers_->post([text = "Not enough resources to talk to the server \"" + name_ +
                               "\"; trying again in " + std::to_string(delay.count() / 1000) +
                               " s."] { eventlog::LogEntry(text); });
        if (!waitBeforeRetry(delay)) {
            report({SmtpEvent::ConnectionTerminated, false}, {});
            return;
        }
    }
}

bool SmtpClient::waitBeforeRetry(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, delay, [this] { return closeRequested_; });
}

bool SmtpClient::converseOnce(const transfer::CancelToken& cancel) {
    Conversation c(*this, usesImplicitTls());
    if (!c.easy || !c.url) {
        return false;
    }
    // EHLO names the machine by its full name, else by its address: servers
    // refuse a bare host name, and a non-ASCII one must never go out raw.
    const std::optional<std::string> fqdn = FullyQualifiedHostName();
    const std::string ehloName =
        fqdn ? *fqdn : LocalAddressLiteral(name_, port_).value_or("localhost");
    if (!setUrl(c, ehloName)) {
        reportFailure("Cannot connect to the server \"" + name_ + "\": not a valid host name.");
        return true;
    }
    setTransportOptions(c);
    setEnvelope(c, fqdn);
    setCallbacks(c);

    const CURLcode result = transfer::PerformUnlessCancelled(c.easy.get(), cancel);
    if (LackedResources(result) && !c.reported) {
        return false;
    }
    const std::string errorText = c.error[0] ? c.error : curl_easy_strerror(result);
    c.closeConnection();
    for (const SmtpStage& stage : c.tracker.finish(result, c.connectOnly)) {
        if (stage.event == SmtpEvent::ConnectionFailed) {
            report(stage, c.lastReply(), {IsTlsFailure(result) ? "SSL" : "SMTP", errorText});
        } else if (stage.event == SmtpEvent::ConnectionLost && c.error[0] != '\0') {
            report(stage, c.lastReply(), {"SMTP", errorText});
        } else {
            report(stage, c.lastReply());
        }
    }
    return true;
}

void SmtpClient::reportFailure(const std::string& reason) {
    report({SmtpEvent::ConnectionFailed, false}, {}, {"SMTP", reason});
    report({SmtpEvent::ConnectionTerminated, false}, {});
}

bool SmtpClient::setUrl(Conversation& c, const std::string& ehloName) const {
    const bool literal = name_.find(':') != std::string::npos && name_.front() != '[';
    const std::string host = literal ? "[" + name_ + "]" : name_;
    // The URL's path is the name EHLO gives.
    char* domain = curl_easy_escape(c.easy.get(), ehloName.c_str(), 0);
    const bool ok =
        domain != nullptr &&
        curl_url_set(c.url.get(), CURLUPART_SCHEME, usesImplicitTls() ? "smtps" : "smtp", 0) ==
            CURLUE_OK &&
        curl_url_set(c.url.get(), CURLUPART_HOST, host.c_str(), 0) == CURLUE_OK &&
        curl_url_set(c.url.get(), CURLUPART_PORT, std::to_string(port_).c_str(), 0) == CURLUE_OK &&
        curl_url_set(c.url.get(), CURLUPART_PATH, (std::string("/") + domain).c_str(), 0) ==
            CURLUE_OK;
    curl_free(domain);
    return ok && curl_easy_setopt(c.easy.get(), CURLOPT_CURLU, c.url.get()) == CURLE_OK;
}

void SmtpClient::setTransportOptions(Conversation& c) const {
    CURL* h = c.easy.get();
    const SmtpTimeouts& timeouts = options_.timeouts;
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, c.error);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(timeouts.response));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.total.count()));
    curl_easy_setopt(h, CURLOPT_USE_SSL, plan_.startTLS ? CURLUSESSL_ALL : CURLUSESSL_NONE);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, allowUntrusted_ ? 0L : 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, allowUntrusted_ ? 0L : 2L);
    if (!options_.caFile.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, options_.caFile.c_str());
    }
}

void SmtpClient::setEnvelope(Conversation& c, const std::optional<std::string>& fqdn) const {
    CURL* h = c.easy.get();
    c.connectOnly = plan_.whenReady == ConversationPlan::WhenReady::Close;
    if (c.connectOnly) {
        curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
        return;
    }
    MailMessage message = message_;
    if (message.messageId.empty()) {
        message.messageId = NewMessageId(fqdn ? *fqdn : DomainOf(message.recipient));
    }
    c.payload = message.payload(std::time(nullptr));
    c.mailFrom = "<" + message.from + ">";
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, c.mailFrom.c_str());
    if (transfer::Append(c.recipients, ("<" + message.recipient + ">").c_str())) {
        curl_easy_setopt(h, CURLOPT_MAIL_RCPT, c.recipients.get());
    }
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(c.payload.size()));
    if (plan_.whenReady == ConversationPlan::WhenReady::Authenticate) {
        curl_easy_setopt(h, CURLOPT_USERNAME, plan_.username.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, plan_.password.c_str());
        curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, ("AUTH=" + plan_.mechanism).c_str());
        c.tracker.requireAuthentication(plan_.mechanism, plan_.startTLS);
    }
}

void SmtpClient::setCallbacks(Conversation& c) {
    CURL* h = c.easy.get();
    // Stages come from the protocol lines themselves.
    using DebugFn = int (*)(CURL*, curl_infotype, char*, size_t, void*);
    DebugFn onDebug = [](CURL*, curl_infotype type, char* data, size_t size, void* user) {
        auto* conversation = static_cast<Conversation*>(user);
        if (type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT) {
            conversation->client.onProtocolText(type == CURLINFO_HEADER_IN, {data, size},
                                                *conversation);
        }
        return 0;
    };
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &c);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);

    // Reply lines reach this after the tracker has seen them: refusing one
    // ends the transfer before libcurl sends its next command.
    using WriteFn = size_t (*)(char*, size_t, size_t, void*);
    WriteFn onReplyLine = [](char*, size_t size, size_t count, void* user) {
        const auto* conversation = static_cast<Conversation*>(user);
        return conversation->tracker.authenticationUnavailable() ? 0 : size * count;
    };
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onReplyLine);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &c);

    // close() from the loop stops the transfer at libcurl's next check.
    using ProgressFn = int (*)(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    ProgressFn onProgress = [](void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<SmtpClient*>(user)->closeRequested() ? 1 : 0;
    };
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    WriteFn onRead = [](char* buffer, size_t size, size_t count, void* user) {
        auto* conversation = static_cast<Conversation*>(user);
        return conversation->client.readBody(buffer, size * count, *conversation);
    };
    curl_easy_setopt(h, CURLOPT_READFUNCTION, onRead);
    curl_easy_setopt(h, CURLOPT_READDATA, &c);
}

void SmtpClient::onProtocolText(bool fromServer, std::string_view text, Conversation& c) {
    if (!fromServer) {
        c.tracker.clientLine(text);
        return;
    }
    for (const SmtpStage& stage : c.tracker.serverLines(text)) {
        c.reported = true;
        report(stage, c.lastReply());
    }
}

size_t SmtpClient::readBody(char* buffer, size_t size, Conversation& c) {
    // The body leaves only once the delegate has asked for it.
    if (!c.bodyReleased) {
        if (!waitUntilSendRequested()) {
            return CURL_READFUNC_ABORT;
        }
        c.bodyReleased = true;
    }
    const std::size_t n = std::min(size, c.payload.size() - c.sent);
    std::memcpy(buffer, c.payload.data() + c.sent, n);
    c.sent += n;
    return n;
}

bool SmtpClient::closeRequested() const {
    std::lock_guard lock(mutex_);
    return closeRequested_;
}

bool SmtpClient::waitUntilSendRequested() {
    std::unique_lock lock(mutex_);
    // Every stage reported so far must have been heard first: the request,
    // if it comes, comes from one of those callbacks.
    changed_.wait_for(lock, options_.timeouts.response, [this] {
        return closeRequested_ || sendRequested_ || delivered_ == posted_;
    });
    return sendRequested_ && !closeRequested_;
}

void SmtpClient::report(const SmtpStage& stage, Reply lastReply,
                        std::pair<std::string, std::string> error) {
    // Counted before it can be heard; a post refused (the workers are ending)
    // is never heard, and abandon() has then already ended any wait for it.
    std::unique_lock lock(mutex_);
    ++posted_;
    lock.unlock();
    if (!workers_->post([self = shared_from_this(), stage, lastReply = std::move(lastReply),
                         error = std::move(error)] { self->deliver(stage, lastReply, error); })) {
        lock.lock();
        --posted_;
    }
}

void SmtpClient::deliver(const SmtpStage& stage, const Reply& lastReply,
                         const std::pair<std::string, std::string>& error) {
    connection_.secured_ = stage.secured;
    lastReply_ = lastReply.text;
    lastReplyToAuth_ = lastReply.answersAuthentication;
    if (stage.event == SmtpEvent::ConnectionLost) {
        lossReason_ = error.second;
    }
    if (IsEnding(stage.event)) {
        finished_ = true;
    }
    if (SmtpClientDelegate* d = delegate_; d != nullptr) {
        switch (stage.event) {
            case SmtpEvent::ConnectionEstablished:
                d->connectionEstablished();
                break;
            case SmtpEvent::ServiceInitialized:
                d->serviceInitialized();
                break;
            case SmtpEvent::AuthenticationCompleted:
                d->authenticationCompleted();
                break;
            case SmtpEvent::AuthenticationFailed:
                d->authenticationFailed();
                break;
            case SmtpEvent::MessageSent:
                d->messageSent();
                break;
            case SmtpEvent::MessageNotSent:
                d->messageNotSent();
                break;
            case SmtpEvent::ConnectionFailed:
                d->connectionFailed(error.first, error.second);
                break;
            case SmtpEvent::ConnectionLost:
                d->connectionLost();
                break;
            case SmtpEvent::ConnectionTimedOut:
                d->connectionTimedOut();
                break;
            case SmtpEvent::ConnectionTerminated:
                d->connectionTerminated();
                break;
        }
    }
    {
        std::lock_guard lock(mutex_);
        ++delivered_;
        changed_.notify_all();
    }
    if (IsEnding(stage.event)) {
        workers_->finished(*this);
    }
}

}  // namespace mail
