#include "app/DesktopDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <mutex>

#include "app/AboutBox.h"
#include "app/AppInfo.h"
#include "platform/Launcher.h"

namespace app {

namespace {

// Message boxes and the clipboard need a QApplication; headless has none.
bool HasWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

// Where a viewer's late answer goes: to context while the dialogs exist,
// nowhere after (the opener's thread may outlive them).
struct DesktopDialogs::Replies {
    std::mutex mutex;
    QObject* context = nullptr;
};

DesktopDialogs::DesktopDialogs()
    : DesktopDialogs([](const std::filesystem::path& item, std::function<void(bool)> finished) {
          return platform::OpenWithDefaultApplication(item, std::move(finished));
      }) {}

DesktopDialogs::DesktopDialogs(Opener opener)
    : opener_(std::move(opener)), replies_(std::make_shared<Replies>()) {
    replies_->context = &context_;
}

DesktopDialogs::~DesktopDialogs() {
    {
        std::lock_guard lock(replies_->mutex);
        replies_->context = nullptr;
    }
    closeAll();
}

void DesktopDialogs::putOnClipboard(const std::string& text) {
    if (HasWidgets()) {
        // setText replaces what was there and makes us the owner, also for "".
        QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
    }
}

void DesktopDialogs::bringToFront() {
    if (note_) {
        note_->raise();
        note_->activateWindow();
    }
}

void DesktopDialogs::showAboutPanel() {
    if (!HasWidgets()) {
        return;
    }
    showNote(NewAboutBox());
}

void DesktopDialogs::openLog(const std::filesystem::path& logFile) {
    if (!HasWidgets()) {
        return;
    }
    // The opener ends with an error when no program takes text files (or
    // the file is gone); that answer comes back on another thread.
    const auto finished = [this, replies = replies_, logFile](bool opened) {
        std::lock_guard lock(replies->mutex);
        if (!opened && replies->context) {
            QMetaObject::invokeMethod(
                replies->context, [this, logFile] { cannotOpenLog(logFile); },
                Qt::QueuedConnection);
        }
    };
    if (logFile.empty() || !opener_(logFile, finished)) {
        cannotOpenLog(logFile);
    }
}

void DesktopDialogs::cannotOpenLog(const std::filesystem::path& logFile) {
    const QString title = QStringLiteral("%1 Log").arg(QString::fromLatin1(kName));
    if (logFile.empty()) {
        showNote(title, QStringLiteral("The folder for the event log could not be made."));
        return;
    }
    showNote(title, QStringLiteral("No program could open the event log. It is the text file<p>"
                                   "<tt>%1</tt></p>")
                        .arg(QString::fromStdString(logFile.string()).toHtmlEscaped()));
}

void DesktopDialogs::closeAll() {
    delete note_.data();
}

void DesktopDialogs::showNote(const QString& title, const QString& text) {
    if (!HasWidgets()) {
        return;
    }
    showNote(new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok));
}

void DesktopDialogs::showNote(QMessageBox* box) {
    delete note_.data();
    // Not exec(): a nested event loop would hold up everything else the GUI
    // thread serves.
    note_ = box;
    note_->setAttribute(Qt::WA_DeleteOnClose);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note_->show();
    bringToFront();
}

}  // namespace app
