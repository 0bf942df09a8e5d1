#pragma once

#include <QIcon>
#include <optional>
#include <string>

namespace app {

// The icon for one of the resource names the controller uses
// ("OrbalenStatusSmall.tif", "OrbalenStatusChange.tif"). A tray item needs
// an icon to be seen at all, so no name, or an unknown one, gives the
// ordinary icon.
QIcon StatusIcon(const std::optional<std::string>& resourceName);

}  // namespace app
