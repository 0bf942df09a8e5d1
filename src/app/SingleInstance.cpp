#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>

#include <QDBusMessage>
#include <cerrno>

#include "platform/Folders.h"

namespace app {

namespace {

// org.freedesktop.DBus.RequestName flags and answers.
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kExists = 3;
constexpr uint kAlreadyOwner = 4;

}  // namespace

SingleInstance::Result SingleInstance::claim(QDBusConnection bus,
                                             std::chrono::milliseconds busTimeout) {
    if (bus.isConnected()) {
        const Result result = claimBusName(bus, busTimeout);
        if (result != Result::Unclaimed) {
            viaBus_ = true;
            return result;
        }
    }
    const auto folder = platform::UserTemporaryFolder();
    return folder ? lockFile(*folder / "OrbalenStatus.lock") : Result::Unclaimed;
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
    foundation::UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
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
