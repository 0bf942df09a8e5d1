#include "app/panel/PanelFrontEnd.h"

#include "app/AppInfo.h"
#include "app/MenuRenderer.h"
#include "app/StatusIcons.h"

namespace app::panel {

PanelFrontEnd::PanelFrontEnd(UserActions actions, QDBusConnection bus)
    : menu_(bus, QString::fromLatin1(StatusNotifierItem::kMenuPath), std::move(actions)),
      item_(bus) {}

void PanelFrontEnd::showStatus(const StatusSnapshot& status) {
    // The title is the label: empty in icon-only mode, where the icon stands
    // alone. Hosts show label and tooltip title as plain text.
    const QString title = PlainText(status.title);
    item_.show(title, title.isEmpty() ? QString::fromLatin1(kName) : title,
               PanelIconName(status.image));
    menu_.setMenu(status.menu);
}

void PanelFrontEnd::withdraw() {
    menu_.setMenu(nullptr);
    item_.withdraw();
}

}  // namespace app::panel
