#pragma once

#include <QList>
#include <QObject>
#include <functional>
#include <memory>

#include "controller/MenuModel.h"

class QMenu;

namespace app {

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
