#include "app/panel/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QImage>
#include <QtEndian>

#include "app/AppInfo.h"
#include "app/StatusIcons.h"

namespace app::panel {

namespace {

int gItemsMade = 0;

DBusImage ToDBusImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    DBusImage result{image.width(), image.height(), {}};
    result.pixels.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
    auto* out = reinterpret_cast<quint32*>(result.pixels.data());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            *out++ = qToBigEndian(line[x]);
        }
    }
    return result;
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus)
    : bus_(std::move(bus)),
      serviceName_(QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(++gItemsMade)),
      watcher_(QString::fromLatin1(kStatusNotifierWatcher), bus_,
               QDBusServiceWatcher::WatchForOwnerChange),
      iconName_(PanelIconName(std::nullopt)) {
    RegisterDBusTypes();
    bus_.registerObject(QString::fromLatin1(kPath), this,
                        QDBusConnection::ExportScriptableContents);
    bus_.registerService(serviceName_);
    // A new owner may take the name straight from the old one, without it
    // ever being free: each new owner is a new panel to register with.
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (!newOwner.isEmpty()) {
                    registerWithWatcher();
                }
            });
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    withdraw();
}

void StatusNotifierItem::withdraw() {
    disconnect(&watcher_, nullptr, this, nullptr);
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(QString::fromLatin1(kPath));
}

void StatusNotifierItem::registerWithWatcher() {
    // Not waited for: a panel that hangs must not hold up the program.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kStatusNotifierWatcher), QStringLiteral("/StatusNotifierWatcher"),
        QString::fromLatin1(kStatusNotifierWatcher), QStringLiteral("RegisterStatusNotifierItem"));
    call << serviceName_;
    bus_.send(call);
}

void StatusNotifierItem::show(const QString& label, const QString& toolTip,
                              const QString& iconName) {
    if (label != label_) {
        label_ = label;
        emit XAyatanaNewLabel(label_, labelGuide());
    }
    if (toolTip != toolTip_) {
        toolTip_ = toolTip;
        emit NewToolTip();
    }
    if (iconName != iconName_) {
        iconName_ = iconName;
        emit NewIcon();
    }
}

QString StatusNotifierItem::title() const {
    return QString::fromLatin1(kName);
}

QString StatusNotifierItem::iconThemePath() const {
    return PanelIconThemePath();
}

DBusImageList StatusNotifierItem::iconPixmap() const {
    DBusImageList images;
    for (const int size : kPanelIconSizes) {
        images.append(ToDBusImage(PanelIconImage(iconName_, size)));
    }
    return images;
}

DBusToolTip StatusNotifierItem::toolTip() const {
    return DBusToolTip{iconName_, {}, toolTip_, {}};
}

}  // namespace app::panel
