#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusMessage>
#include <cerrno>
#include <cstdlib>

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

}  // namespace

SingleInstance::Result SingleInstance::claim(QDBusConnection bus,
                                             std::chrono::milliseconds busTimeout) {
    // The lock file always, so that an instance with a bus and one without
    // (a session bus that went away, a service started without one) still
    // see each other; the bus name as well, for instances whose runtime
    // folders differ.
    const auto folder = LockFolder();
    const Result locked = folder ? lockFile(*folder / "OrbalenStatus.lock") : Result::Unclaimed;
    if (locked == Result::AlreadyRunning || !bus.isConnected()) {
        return locked;
    }
    const Result named = claimBusName(bus, busTimeout);
    viaBus_ = named == Result::Claimed;
    return named == Result::Unclaimed ? locked : named;
}

SingleInstance::Result SingleInstance::claimBusName(QDBusConnection& bus,
                                                    std::chrono::milliseconds timeout) {
    // Asked directly rather than through QDBusConnectionInterface, whose call
    // waits the bus library's default 25 s on a bus that does not answer.
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
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
    base::UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
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
