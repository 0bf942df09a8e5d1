#include "app/LabelOwnerWatch.h"

#include <QDBusMessage>
#include <cstdio>

namespace app {

namespace {

constexpr int kFirstQueryMs = 1000;

bool HasOwner(const QDBusConnection& bus) {
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage query = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    query << QString::fromLatin1(kLabelOwnerName);
    const QDBusMessage reply = bus.call(query, QDBus::Block, kFirstQueryMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

}  // namespace

LabelOwnerWatch::LabelOwnerWatch(QDBusConnection bus, std::function<void()> changed)
    : watcher_(QString::fromLatin1(kLabelOwnerName), bus, QDBusServiceWatcher::WatchForOwnerChange),
      changed_(std::move(changed)) {
    grace_.setSingleShot(true);
    grace_.setInterval(kGraceMs);
    connect(&grace_, &QTimer::timeout, this, [this] {
        shown_ = false;
        std::fputs("OrbalenStatus: the desktop no longer shows the title; showing our own item.\n",
                   stderr);
        changed_();
    });
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                ownerChanged(!newOwner.isEmpty());
            });
    // Asked after the watcher is set up, so no change falls between the two.
    if (HasOwner(bus)) {
        show();
    }
}

void LabelOwnerWatch::ownerChanged(bool present) {
    if (!present) {
        if (shown_ && !grace_.isActive()) {
            grace_.start();
        }
        return;
    }
    grace_.stop();
    if (!shown_) {
        show();
        changed_();
    }
}

void LabelOwnerWatch::show() {
    shown_ = true;
    std::fputs("OrbalenStatus: the desktop shows the title itself; no panel item of our own.\n",
               stderr);
}

}  // namespace app
