#include "app/TrayFrontEnd.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

#include "app/AppInfo.h"
#include "app/StatusIcons.h"

namespace app {

TrayFrontEnd::TrayFrontEnd(UserActions actions)
    : actions_(std::move(actions)), renderer_(menu_, actions_.itemChosen) {
    QObject::connect(&menu_, &QMenu::aboutToShow, &menu_, [this] { actions_.menuWillOpen(); });
    tray_.setIcon(StatusIcon(std::nullopt));
    tray_.setToolTip(QString::fromLatin1(kName));
    tray_.setContextMenu(&menu_);
    tray_.show();
}

TrayFrontEnd::~TrayFrontEnd() {
    delete note_.data();
}

void TrayFrontEnd::showStatus(const StatusSnapshot& status) {
    tray_.setToolTip(QString::fromStdString(status.title));
    if (status.image != image_) {
        image_ = status.image;
        tray_.setIcon(StatusIcon(image_));
    }
    renderer_.render(status.menu);
}

void TrayFrontEnd::putOnClipboard(const std::string& text) {
    // setText replaces what was there and makes us the owner, also for "".
    QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

void TrayFrontEnd::bringToFront() {
    if (note_) {
        note_->raise();
        note_->activateWindow();
    }
}

void TrayFrontEnd::showAboutPanel() {
    showNote(QStringLiteral("About %1").arg(QString::fromLatin1(kName)),
             QStringLiteral("<b>%1</b> %2<p>%3</p>")
                 .arg(QString::fromLatin1(kName), QString::fromLatin1(kVersion),
                      QString::fromLatin1(kSummary)));
}

void TrayFrontEnd::showPreferences() {
    // The preferences window comes in a later version; until then the
    // settings are edited with orbalenstatus-defaults.
    showNote(QStringLiteral("%1 Preferences").arg(QString::fromLatin1(kName)),
             QStringLiteral("The preferences window is not available yet.<p>Edit the settings "
                            "with <tt>orbalenstatus-defaults</tt>, then run "
                            "<tt>orbalenstatus-defaults notify</tt>.</p>"));
}

void TrayFrontEnd::withdraw() {
    tray_.hide();
    delete note_.data();
}

void TrayFrontEnd::showNote(const QString& title, const QString& text) {
    delete note_.data();
    // Not exec(): a nested event loop would hold up everything else the GUI
    // thread serves.
    note_ = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok);
    note_->setAttribute(Qt::WA_DeleteOnClose);
    note_->show();
    bringToFront();
}

}  // namespace app
