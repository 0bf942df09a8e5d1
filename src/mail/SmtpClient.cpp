#include "mail/SmtpClient.h"

#include "mail/LocalIdentity.h"
#include "mail/WorkerLauncher.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>

namespace mail {
namespace {

std::atomic<long> gImplicitTlsPort{SmtpClient::kImplicitTlsPort};
std::mutex gDefaultsMutex;
SmtpTimeouts gDefaultTimeouts;

bool IsEnding(SmtpEvent event) {
    return event == SmtpEvent::ConnectionLost || event == SmtpEvent::ConnectionTimedOut ||
           event == SmtpEvent::ConnectionTerminated;
}

long Seconds(std::chrono::milliseconds ms) {
    return std::max<long>(1, static_cast<long>((ms.count() + 999) / 1000));
}

struct CurlHandles {
    CURL* easy = curl_easy_init();
    CURLU* url = curl_url();
    curl_slist* recipients = nullptr;
    ~CurlHandles() {
        curl_slist_free_all(recipients);
        curl_url_cleanup(url);
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
        }
    }
    // Cleaning up the easy handle says QUIT on a connection still open, so
    // this is called while the conversation's callbacks still have a target.
    void closeConnection() {
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
            easy = nullptr;
        }
    }
};

}  // namespace

// What one run of the worker owns.
struct SmtpClient::Transfer {
    explicit Transfer(bool secured) : tracker(secured) {}
    SmtpStageTracker tracker;
    std::string payload;
    std::size_t sent = 0;
    bool bodyReleased = false;
    char error[CURL_ERROR_SIZE] = {};
};

std::shared_ptr<SmtpClient> SmtpClient::create(platform::RunLoop& loop, std::string name,
                                               long port) {
    return std::shared_ptr<SmtpClient>(new SmtpClient(loop, std::move(name), port));
}

SmtpClient::SmtpClient(platform::RunLoop& loop, std::string name, long port)
    : loop_(loop), name_(std::move(name)), port_(port) {
    {
        std::lock_guard lock(gDefaultsMutex);
        timeouts_ = gDefaultTimeouts;
    }
    if (const char* bundle = std::getenv("ORBALEN_CA_BUNDLE"); bundle != nullptr) {
        caBundle_ = bundle;
    }
}

SmtpClient::~SmtpClient() {
    std::thread worker = takeWorker();
    if (!worker.joinable()) {
        return;
    }
    // Only when the run loop dropped our last callback unrun can the worker
    // itself hold the last reference.
    if (worker.get_id() == std::this_thread::get_id()) {
        worker.detach();
    } else {
        abandon();
        worker.join();
    }
}

std::thread SmtpClient::takeWorker() {
    std::lock_guard lock(mutex_);
    return std::move(worker_);
}

void SmtpClient::setImplicitTlsPortForTesting(long port) {
    gImplicitTlsPort = port;
}

void SmtpClient::setDefaultTimeouts(const SmtpTimeouts& timeouts) {
    std::lock_guard lock(gDefaultsMutex);
    gDefaultTimeouts = timeouts;
}

bool SmtpClient::usesImplicitTls() const {
    return port_ == gImplicitTlsPort.load();
}

void SmtpClient::connectInBackgroundAndNotify() {
    if (started_ || finished_) {
        return;
    }
    started_ = true;
    connection_.secured_ = usesImplicitTls();
    LaunchInBackground([self = shared_from_this()] { self->startWorker(); });
}

void SmtpClient::startWorker() {
    // The worker's stages reach the loop only after this lock is released,
    // so the ending stage always finds the worker stored and can join it.
    std::unique_lock lock(mutex_);
    try {
        worker_ = std::thread([self = shared_from_this()] { self->run(); });
    } catch (const std::system_error& e) {
        lock.unlock();
        report({SmtpEvent::ConnectionFailed, false}, {}, {"SMTP", e.what()});
        report({SmtpEvent::ConnectionTerminated, false}, {});
    }
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

void SmtpClient::run() {
    // Loading the TLS library takes milliseconds: done here, the first
    // sender of a burst does not hold up the run loop for it.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    RunAsBackgroundThread();
    Transfer transfer(usesImplicitTls());
    if (plan_.whenReady == ConversationPlan::WhenReady::Authenticate) {
        transfer.tracker.requireAuthentication(plan_.mechanism, plan_.startTLS);
    }
    CurlHandles curl;
    const bool connectOnly = plan_.whenReady == ConversationPlan::WhenReady::Close;
    const std::string host =
        name_.find(':') != std::string::npos && name_.front() != '[' ? "[" + name_ + "]" : name_;
    // EHLO names the machine by its full name, else by its address: servers
    // refuse a bare host name, and a non-ASCII one must never go out raw.
    const std::optional<std::string> fqdn = FullyQualifiedHostName();
    const std::string ehloName =
        fqdn ? *fqdn : LocalAddressLiteral(name_, port_).value_or("localhost");
    char* domain = curl.easy ? curl_easy_escape(curl.easy, ehloName.c_str(), 0) : nullptr;
    const bool urlOk =
        curl.easy != nullptr && curl.url != nullptr && domain != nullptr &&
        curl_url_set(curl.url, CURLUPART_SCHEME, usesImplicitTls() ? "smtps" : "smtp", 0) ==
            CURLUE_OK &&
        curl_url_set(curl.url, CURLUPART_HOST, host.c_str(), 0) == CURLUE_OK &&
        curl_url_set(curl.url, CURLUPART_PORT, std::to_string(port_).c_str(), 0) == CURLUE_OK &&
        curl_url_set(curl.url, CURLUPART_PATH, (std::string("/") + domain).c_str(), 0) == CURLUE_OK;
    curl_free(domain);
    if (!urlOk) {
        report({SmtpEvent::ConnectionFailed, false}, {},
               {"SMTP", "Cannot connect to the server \"" + name_ + "\": not a valid host name."});
        report({SmtpEvent::ConnectionTerminated, false}, {});
        return;
    }

    CURL* h = curl.easy;
    curl_easy_setopt(h, CURLOPT_CURLU, curl.url);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, transfer.error);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(timeouts_.response));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.total.count()));
    curl_easy_setopt(h, CURLOPT_USE_SSL, plan_.startTLS ? CURLUSESSL_ALL : CURLUSESSL_NONE);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, allowUntrusted_ ? 0L : 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, allowUntrusted_ ? 0L : 2L);
    if (!caBundle_.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, caBundle_.c_str());
    }

    // Stages come from the protocol lines themselves.
    using DebugFn = int (*)(CURL*, curl_infotype, char*, size_t, void*);
    DebugFn onDebug = [](CURL*, curl_infotype type, char* data, size_t size, void* user) {
        auto* t = static_cast<std::pair<SmtpClient*, Transfer*>*>(user);
        if (type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT) {
            t->first->onProtocolText(type == CURLINFO_HEADER_IN, {data, size}, *t->second);
        }
        return 0;
    };
    std::pair<SmtpClient*, Transfer*> context{this, &transfer};
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &context);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);

    // Reply lines reach this after the tracker has seen them: refusing one
    // ends the transfer before libcurl sends its next command.
    using HeaderFn = size_t (*)(char*, size_t, size_t, void*);
    HeaderFn onHeader = [](char*, size_t size, size_t count, void* user) {
        auto* t = static_cast<std::pair<SmtpClient*, Transfer*>*>(user);
        return t->second->tracker.authenticationUnavailable() ? 0 : size * count;
    };
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &context);

    // close() from the loop stops the transfer at libcurl's next check.
    using ProgressFn = int (*)(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    ProgressFn onProgress = [](void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        auto* self = static_cast<SmtpClient*>(user);
        std::lock_guard lock(self->mutex_);
        return self->closeRequested_ ? 1 : 0;
    };
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    if (connectOnly) {
        curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
    } else {
        MailMessage message = message_;
        if (message.messageId.empty()) {
            message.messageId = NewMessageId(fqdn ? *fqdn : DomainOf(message.recipient));
        }
        transfer.payload = message.payload(std::time(nullptr));
        const std::string mailbox = "<" + message_.from + ">";
        curl_easy_setopt(h, CURLOPT_MAIL_FROM, mailbox.c_str());
        curl.recipients = curl_slist_append(nullptr, ("<" + message_.recipient + ">").c_str());
        curl_easy_setopt(h, CURLOPT_MAIL_RCPT, curl.recipients);
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE,
                         static_cast<curl_off_t>(transfer.payload.size()));
        using ReadFn = size_t (*)(char*, size_t, size_t, void*);
        ReadFn onRead = [](char* buffer, size_t size, size_t count, void* user) {
            auto* t = static_cast<std::pair<SmtpClient*, Transfer*>*>(user);
            return t->first->readBody(buffer, size * count, *t->second);
        };
        curl_easy_setopt(h, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(h, CURLOPT_READDATA, &context);
        if (plan_.whenReady == ConversationPlan::WhenReady::Authenticate) {
            curl_easy_setopt(h, CURLOPT_USERNAME, plan_.username.c_str());
            curl_easy_setopt(h, CURLOPT_PASSWORD, plan_.password.c_str());
            curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, ("AUTH=" + plan_.mechanism).c_str());
        }
    }

    const CURLcode result = curl_easy_perform(h);
    const std::string errorText = transfer.error[0] ? transfer.error : curl_easy_strerror(result);
    curl.closeConnection();

    for (const SmtpStage& stage : transfer.tracker.finish(result, connectOnly)) {
        if (stage.event == SmtpEvent::ConnectionFailed) {
            report(stage, lastReplyOf(transfer),
                   {IsTlsFailure(result) ? "SSL" : "SMTP", errorText});
        } else if (stage.event == SmtpEvent::ConnectionLost && transfer.error[0] != '\0') {
            report(stage, lastReplyOf(transfer), {"SMTP", errorText});
        } else {
            report(stage, lastReplyOf(transfer));
        }
    }
}

void SmtpClient::onProtocolText(bool fromServer, std::string_view text, Transfer& transfer) {
    if (!fromServer) {
        transfer.tracker.clientLine(text);
        return;
    }
    for (const SmtpStage& stage : transfer.tracker.serverLines(text)) {
        report(stage, lastReplyOf(transfer));
    }
}

size_t SmtpClient::readBody(char* buffer, size_t size, Transfer& transfer) {
    // The body leaves only once the delegate has asked for it.
    if (!transfer.bodyReleased) {
        if (!waitUntilSendRequested()) {
            return CURL_READFUNC_ABORT;
        }
        transfer.bodyReleased = true;
    }
    const std::size_t n = std::min(size, transfer.payload.size() - transfer.sent);
    std::memcpy(buffer, transfer.payload.data() + transfer.sent, n);
    transfer.sent += n;
    return n;
}

bool SmtpClient::waitUntilSendRequested() {
    std::unique_lock lock(mutex_);
    // Every stage reported so far must have been heard first: the request,
    // if it comes, comes from one of those callbacks.
    changed_.wait_for(lock, timeouts_.response, [this] {
        return closeRequested_ || sendRequested_ || delivered_ == posted_;
    });
    return sendRequested_ && !closeRequested_;
}

SmtpClient::Reply SmtpClient::lastReplyOf(const Transfer& transfer) {
    return {transfer.tracker.lastReply(), transfer.tracker.lastReplyAnswersAuthentication()};
}

void SmtpClient::report(const SmtpStage& stage, Reply lastReply,
                        std::pair<std::string, std::string> error) {
    {
        std::lock_guard lock(mutex_);
        ++posted_;
    }
    loop_.post([self = shared_from_this(), stage, lastReply = std::move(lastReply),
                error = std::move(error)] { self->deliver(stage, lastReply, error); });
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
    // The ending stage is the worker's last act: it is done or nearly so.
    if (IsEnding(stage.event)) {
        if (std::thread worker = takeWorker(); worker.joinable()) {
            worker.join();
        }
    }
}

}  // namespace mail
