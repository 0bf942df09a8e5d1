#include "app/MenuRenderer.h"

#include <QAction>
#include <QMenu>
#include <QTextDocument>

#include "platform/qt/PlainText.h"

namespace app {

namespace {

using controller::Menu;
using controller::MenuAction;
using controller::MenuItem;

void Apply(QAction& action, const MenuItem& item) {
    action.setText(QtMenuText(item.title));
    action.setToolTip(QtToolTip(item.toolTip));
    action.setEnabled(ShowsEnabled(item));
}

}  // namespace

QString PlainText(const std::string& text) {
    return platform::PlainText(QString::fromStdString(text));
}

QString QtMenuText(const std::string& text) {
    return PlainText(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString QtToolTip(const std::string& text) {
    const QString plain = PlainText(text);
    if (!Qt::mightBeRichText(plain)) {
        return plain;
    }
    return QLatin1String("<qt>") + plain.toHtmlEscaped() + QLatin1String("</qt>");
}

bool ShowsEnabled(const MenuItem& item) {
    return item.enabled && (item.action != MenuAction::None || !item.children.empty());
}

bool SameShape(const Menu& a, const Menu& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].separator != b[i].separator || !SameShape(a[i].children, b[i].children)) {
            return false;
        }
    }
    return true;
}

MenuRenderer::MenuRenderer(QMenu& menu, Chosen chosen) : menu_(menu), chosen_(std::move(chosen)) {
    menu_.setToolTipsVisible(true);
}

void MenuRenderer::render(std::shared_ptr<const Menu> model) {
    if (!model) {
        model = std::make_shared<const Menu>();
    }
    const bool inPlace = model_ && SameShape(*model_, *model);
    model_ = std::move(model);
    if (inPlace) {
        update(menu_, *model_);
    } else {
        menu_.clear();
        build(menu_, *model_, {});
    }
}

void MenuRenderer::build(QMenu& menu, const Menu& items, const QList<int>& path) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        if (item.separator) {
            menu.addSeparator();
            continue;
        }
        QList<int> itemPath = path;
        itemPath.append(static_cast<int>(i));
        QAction* action;
        if (item.children.empty()) {
            action = menu.addAction(QString());
            connect(action, &QAction::triggered, this, [this, itemPath] { choose(itemPath); });
        } else {
            QMenu* submenu = menu.addMenu(QString());
            submenu->setToolTipsVisible(true);
            build(*submenu, item.children, itemPath);
            action = submenu->menuAction();
        }
        Apply(*action, item);
    }
}

void MenuRenderer::update(QMenu& menu, const Menu& items) {
    const QList<QAction*> actions = menu.actions();
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction* action = actions[static_cast<qsizetype>(i)];
        if (items[i].separator) {
            continue;
        }
        Apply(*action, items[i]);
        if (QMenu* submenu = action->menu()) {
            update(*submenu, items[i].children);
        }
    }
}

void MenuRenderer::choose(const QList<int>& path) const {
    const Menu* items = model_.get();
    const MenuItem* item = nullptr;
    for (const int index : path) {
        if (!items || index >= static_cast<int>(items->size())) {
            return;
        }
        item = &(*items)[static_cast<std::size_t>(index)];
        items = &item->children;
    }
    if (item) {
        chosen_(*item);
    }
}

}  // namespace app
