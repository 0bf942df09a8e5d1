#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QMessageBox;

namespace app {

// The windows and desktop services the menu's commands reach, the same
// whichever front end shows the menu: the clipboard, the About box, notes,
// and the log viewer. One note at a time. Without widgets (headless) each
// does nothing. GUI thread only.
class DesktopDialogs {
public:
    // Starts a viewer for a file; false when none could be started, else
    // finished(opened) follows, on any thread.
    using Opener =
        std::function<bool(const std::filesystem::path&, std::function<void(bool opened)>)>;

    DesktopDialogs();
    explicit DesktopDialogs(Opener opener);
    DesktopDialogs(const DesktopDialogs&) = delete;
    DesktopDialogs& operator=(const DesktopDialogs&) = delete;
    ~DesktopDialogs();

    void putOnClipboard(const std::string& text);
    void bringToFront();
    void showAboutPanel();
    // Shows the log in the desktop's viewer for text files; where none can
    // open it, a note says where the file is.
    void openLog(const std::filesystem::path& logFile);
    void closeAll();

private:
    struct Replies;
    void showNote(const QString& title, const QString& text);
    void cannotOpenLog(const std::filesystem::path& logFile);
    void showNote(QMessageBox* box);  // takes it

    Opener opener_;
    QObject context_;  // replies from other threads are delivered to it
    std::shared_ptr<Replies> replies_;
    QPointer<QMessageBox> note_;  // the About box or a note, one at a time
};

}  // namespace app
