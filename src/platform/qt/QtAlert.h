#pragma once

#include <QObject>
#include <atomic>

#include "platform/Alert.h"

namespace platform {

// The stop alert as a Qt message box, shown on the GUI thread (the thread
// that made this object, after the QApplication). A caller on another
// thread waits until the user dismisses it, or until close(): after that
// no caller waits, so the program can end with an alert open.
class QtAlert : public Alert {
public:
    QtAlert();
    ~QtAlert() override;

    std::int32_t showStopAlert(std::string_view message, std::string_view explanation) override;

    // GUI thread, as the program ends.
    void close();

private:
    QObject context_;  // alerts are shown on its thread
    std::atomic<bool> closed_{false};
};

}  // namespace platform
