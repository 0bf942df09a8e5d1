#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusMessage>
#include <cerrno>
#include <cstdlib>
#include <thread>
#include <utility>

#include "platform/Folders.h"

namespace app {

namespace {

// org.freedesktop.DBus.RequestName flags and answers.
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kExists = 3;
constexpr uint kAlreadyOwner = 4;

// A folder of this user's that no one else can write in, so no one else can
// have made the lock file (or the folder) first.
bool IsOwnFolder(const std::filesystem::path& folder) {
    struct stat info {};
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 022) == 0;
}

// The user's runtime folder; without one, our own folder below the user's
// data folder (never a shared one such as /tmp, where another user could
// make our folder first and so keep any lock from being taken).
std::optional<std::filesystem::path> LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && IsOwnFolder(runtime)) {
        return std::filesystem::path(runtime);
    }
    std::filesystem::path folder = platform::UserDataFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    for (const char* level : {"Kestrune Software", "OrbalenStatus"}) {
        folder /= level;
        mkdir(folder.c_str(), 0700);
        if (!IsOwnFolder(folder)) {
            return std::nullopt;
        }
    }
    return folder;
}

std::optional<std::filesystem::path> LockPath(const char* name) {
    const auto folder = LockFolder();
    return folder ? std::optional(*folder / name) : std::nullopt;
}

constexpr const char* kClaimLock = "OrbalenStatus.lock";
constexpr const char* kNextLock = "OrbalenStatus.next.lock";

foundation::UniqueFd OpenLockFile(const std::filesystem::path& path) {
    return foundation::UniqueFd(
        open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

// flock, through interruptions by signals that do not end the program.
int Flock(int fd, int operation) {
    int result;
    do {
        result = flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

QDBusMessage BusCall(const char* method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
}

}  // namespace

SingleInstance::Result SingleInstance::claim(QDBusConnection bus,
                                             std::chrono::milliseconds busTimeout) {
    // The lock file always, so that an instance with a bus and one without
    // (a session bus that went away, a service started without one) still
    // see each other; the bus name as well, for instances whose runtime
    // folders differ.
    // A lock held already comes from waitForTurn().
    const bool hadLock = static_cast<bool>(lock_);
    const auto path = LockPath(kClaimLock);
    const Result locked = hadLock ? Result::Claimed : path ? lockFile(*path) : Result::Unclaimed;
    if (locked == Result::AlreadyRunning || !bus.isConnected()) {
        return locked;
    }
    const Result named = claimBusName(bus, busTimeout);
    viaBus_ = named == Result::Claimed;
    if (viaBus_) {
        namedOn_ = bus;
    } else if (named == Result::AlreadyRunning && !hadLock) {
        lock_.reset();  // not ours to keep: the other instance runs
    }
    return named == Result::Unclaimed ? locked : named;
}

bool SingleInstance::waitForTurn(const std::function<void()>& waiting) {
    const auto next = LockPath(kNextLock);
    const auto claim = LockPath(kClaimLock);
    foundation::UniqueFd nextFd = next ? OpenLockFile(*next) : foundation::UniqueFd();
    foundation::UniqueFd claimFd = claim ? OpenLockFile(*claim) : foundation::UniqueFd();
    if (!nextFd || !claimFd) {
        return false;
    }
    bool told = false;
    for (;;) {
        // Past any instance taking over, then in the queue for the claim.
        if (flock(nextFd.get(), LOCK_SH | LOCK_NB) != 0 ||
            flock(claimFd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (!std::exchange(told, true)) {
                waiting();
            }
            if (Flock(nextFd.get(), LOCK_SH) != 0 || Flock(nextFd.get(), LOCK_UN) != 0 ||
                Flock(claimFd.get(), LOCK_EX) != 0) {
                return false;
            }
        }
        // An instance that began taking over while we queued goes first.
        if (flock(nextFd.get(), LOCK_SH | LOCK_NB) == 0) {
            break;
        }
        Flock(claimFd.get(), LOCK_UN);
    }
    lock_ = std::move(claimFd);
    return true;
}

SingleInstance::Result SingleInstance::takeOver(QDBusConnection bus,
                                                std::chrono::milliseconds busTimeout,
                                                std::chrono::milliseconds patience,
                                                const std::function<bool()>& ask) {
    const auto next = LockPath(kNextLock);
    foundation::UniqueFd nextFd = next ? OpenLockFile(*next) : foundation::UniqueFd();
    if (!nextFd || flock(nextFd.get(), LOCK_EX | LOCK_NB) != 0 || !ask()) {
        return Result::AlreadyRunning;
    }
    // The next lock goes with nextFd, once the claim is settled.
    return claimWithin(bus, busTimeout, patience);
}

SingleInstance::Result SingleInstance::claimWithin(QDBusConnection bus,
                                                   std::chrono::milliseconds busTimeout,
                                                   std::chrono::milliseconds patience) {
    // A bounded wait at start-up while the other instance closes its log and
    // lets go; its claim ends with no event of ours to wait for.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    Result result = claim(bus, busTimeout);
    while (result == Result::AlreadyRunning && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
        result = claim(bus, busTimeout);
    }
    return result;
}

void SingleInstance::release() {
    if (namedOn_ && namedOn_->isConnected()) {
        QDBusMessage request = BusCall("ReleaseName");
        request << QString::fromLatin1(kBusName);
        namedOn_->call(request, QDBus::Block, 2000);
    }
    namedOn_.reset();
    viaBus_ = false;
    lock_.reset();
}

SingleInstance::Result SingleInstance::claimBusName(QDBusConnection& bus,
                                                    std::chrono::milliseconds timeout) {
    // Asked directly rather than through QDBusConnectionInterface, whose call
    // waits the bus library's default 25 s on a bus that does not answer.
    QDBusMessage request = BusCall("RequestName");
    request << QString::fromLatin1(kBusName) << kDoNotQueue;
    const QDBusMessage reply = bus.call(request, QDBus::Block, static_cast<int>(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return Result::Unclaimed;
    }
    const uint answer = reply.arguments().constFirst().toUInt();
    if (answer == kPrimaryOwner || answer == kAlreadyOwner) {
        return Result::Claimed;
    }
    return answer == kExists ? Result::AlreadyRunning : Result::Unclaimed;
}

SingleInstance::Result SingleInstance::lockFile(const std::filesystem::path& path) {
    foundation::UniqueFd fd = OpenLockFile(path);
    if (!fd) {
        return Result::Unclaimed;
    }
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? Result::AlreadyRunning : Result::Unclaimed;
    }
    lock_ = std::move(fd);
    return Result::Claimed;
}

}  // namespace app
