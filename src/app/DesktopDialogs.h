#pragma once

#include <QPointer>
#include <QString>
#include <string>

class QMessageBox;

namespace app {

// What every front end with a display does alike: the clipboard, the About
// box and the notes it shows, one window at a time. GUI thread only.
class DesktopDialogs {
public:
    DesktopDialogs() = default;
    DesktopDialogs(const DesktopDialogs&) = delete;
    DesktopDialogs& operator=(const DesktopDialogs&) = delete;
    ~DesktopDialogs();

    void putOnClipboard(const std::string& text);
    void bringToFront();
    void showAboutPanel();
    void showPreferences();
    void closeAll();

private:
    void showNote(const QString& title, const QString& text);
    void showNote(QMessageBox* box);  // takes it

    QPointer<QMessageBox> note_;  // the About box or a note, one at a time
};

}  // namespace app
