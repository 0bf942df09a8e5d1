#include "app/StatusIcons.h"

namespace app {

QIcon StatusIcon(const std::optional<std::string>& resourceName) {
    if (resourceName == "OrbalenStatusChange.tif") {
        return QIcon(QStringLiteral(":/icons/status-change.png"));
    }
    return QIcon(QStringLiteral(":/icons/status-small.png"));
}

}  // namespace app
