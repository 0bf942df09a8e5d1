#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "controller/MenuModel.h"

class QMenu;

namespace app {

// Texts that come from outside (host names from the hosts file or DNS, a
// lookup service's answer) as the desktop may show them. PlainText drops
// what platform::PlainText drops.
QString PlainText(const std::string& text);
// For a QAction: '&' doubled so that it is not taken for a mnemonic.
QString QtMenuText(const std::string& text);
// For a Qt tooltip, which is read as rich text when it looks like markup:
// such text is escaped and marked as rich text so it shows as written.
QString QtToolTip(const std::string& text);

// Whether an entry can be chosen: entries without an action only inform.
bool ShowsEnabled(const controller::MenuItem& item);

// Whether two menus differ at most in their entries' texts and states.
bool SameShape(const controller::Menu& a, const controller::Menu& b);

// Shows a menu model in a QMenu and reports the item the user chooses, as
// the model holds it. A model of the same shape as the one shown (the usual
// case while the menu is open: only titles change) updates the entries in
// place, so an open menu does not flicker or close.
class MenuRenderer : public QObject {
public:
    using Chosen = std::function<void(const controller::MenuItem&)>;

    MenuRenderer(QMenu& menu, Chosen chosen);

    void render(std::shared_ptr<const controller::Menu> model);

private:
    void build(QMenu& menu, const controller::Menu& items, const QList<int>& path);
    void update(QMenu& menu, const controller::Menu& items);
    void choose(const QList<int>& path) const;

    QMenu& menu_;
    Chosen chosen_;
    std::shared_ptr<const controller::Menu> model_;
};

}  // namespace app
