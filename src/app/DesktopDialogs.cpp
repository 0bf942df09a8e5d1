#include "app/DesktopDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

#include "app/AboutBox.h"
#include "app/AppInfo.h"

namespace app {

DesktopDialogs::~DesktopDialogs() {
    closeAll();
}

void DesktopDialogs::putOnClipboard(const std::string& text) {
    // setText replaces what was there and makes us the owner, also for "".
    QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

void DesktopDialogs::bringToFront() {
    if (note_) {
        note_->raise();
        note_->activateWindow();
    }
}

void DesktopDialogs::showAboutPanel() {
    showNote(NewAboutBox());
}

void DesktopDialogs::showPreferences() {
    // The preferences window comes in a later version; until then the
    // settings are edited with orbalenstatus-defaults.
    showNote(QStringLiteral("%1 Preferences").arg(QString::fromLatin1(kName)),
             QStringLiteral("The preferences window is not available yet.<p>Edit the settings "
                            "with <tt>orbalenstatus-defaults</tt>, then run "
                            "<tt>orbalenstatus-defaults notify</tt>.</p>"));
}

void DesktopDialogs::closeAll() {
    delete note_.data();
}

void DesktopDialogs::showNote(const QString& title, const QString& text) {
    showNote(new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok));
}

void DesktopDialogs::showNote(QMessageBox* box) {
    delete note_.data();
    // Not exec(): a nested event loop would hold up everything else the GUI
    // thread serves.
    note_ = box;
    note_->setAttribute(Qt::WA_DeleteOnClose);
    note_->show();
    bringToFront();
}

}  // namespace app
