#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>
#include <functional>

namespace app {

// The bus name a shell extension or applet owns while it shows our title in
// the desktop's own panel; several may queue for it.
inline constexpr const char* kLabelOwnerName = "com.kestrune.OrbalenStatus.Label";

// Tells whether someone else shows the title, so the program withdraws its
// own panel item meanwhile. An owner counts at once; its going counts only
// after a grace period without a new owner, so a helper that lets go of the
// name and takes it again (a query re-armed after each answer) does not
// make the item flicker. No polling: the bus tells of every owner change,
// and the timer runs only during a grace period.
class LabelOwnerWatch : public QObject {
public:
    static constexpr int kGraceMs = 2000;

    // changed runs whenever shown() turns later; the first answer is asked
    // for once, here, waiting at most a second.
    LabelOwnerWatch(QDBusConnection bus, std::function<void()> changed);

    bool shown() const { return shown_; }

private:
    void ownerChanged(bool present);
    void show();

    QDBusServiceWatcher watcher_;
    QTimer grace_;
    std::function<void()> changed_;
    bool shown_ = false;
};

}  // namespace app
