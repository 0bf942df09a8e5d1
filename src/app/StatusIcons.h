#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <optional>
#include <string>

namespace app {

// The panel icons: "orbalenstatus-panel", and "orbalenstatus-change" after a
// change, each at the sizes panels ask for.
inline constexpr int kPanelIconSizes[] = {16, 22, 24, 32, 48};

// The icon name for one of the resource names the controller uses
// ("OrbalenStatusSmall.tif", "OrbalenStatusChange.tif"). A panel item needs
// an icon to be seen at all, so no name, or an unknown one, gives the
// ordinary icon.
QString PanelIconName(const std::optional<std::string>& resourceName);

// The icon built into the program, at one size or at all of them.
QImage PanelIconImage(const QString& iconName, int size);
QIcon StatusIcon(const std::optional<std::string>& resourceName);

// The installed icon theme folder beside the program (share/icons), which
// panels that load icons by name search; empty when there is none.
QString PanelIconThemePath();

}  // namespace app
