#include "app/StatusIcons.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>

namespace app {

QString PanelIconName(const std::optional<std::string>& resourceName) {
    return resourceName == "OrbalenStatusChange.tif" ? QStringLiteral("orbalenstatus-change")
                                                     : QStringLiteral("orbalenstatus-panel");
}

QImage PanelIconImage(const QString& iconName, int size) {
    return QImage(QStringLiteral(":/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(iconName));
}

QIcon StatusIcon(const std::optional<std::string>& resourceName) {
    QIcon icon;
    for (const int size : kPanelIconSizes) {
        icon.addPixmap(QPixmap::fromImage(PanelIconImage(PanelIconName(resourceName), size)));
    }
    return icon;
}

QString PanelIconThemePath() {
    const QDir icons(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons"));
    return icons.exists(QStringLiteral("hicolor")) ? icons.canonicalPath() : QString();
}

}  // namespace app
