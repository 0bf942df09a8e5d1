#include "platform/qt/QtAlert.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>

namespace platform {

namespace {

constexpr std::int32_t kNotShown = -1;

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ShowModal(const QString& message, const QString& explanation) {
    QApplication::beep();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("OrbalenStatus"), message,
                    QMessageBox::Ok);
    box.setInformativeText(explanation);
    box.exec();
}

}  // namespace

QtAlert::QtAlert() = default;

QtAlert::~QtAlert() {
    close();
}

std::int32_t QtAlert::showStopAlert(std::string_view message, std::string_view explanation) {
    if (closed_) {
        return kNotShown;
    }
    const QString text = ToQString(message);
    const QString detail = ToQString(explanation);
    if (QThread::currentThread() == context_.thread()) {
        ShowModal(text, detail);
        return 0;
    }
    auto shown = std::make_shared<std::promise<void>>();
    std::future<void> dismissed = shown->get_future();
    QMetaObject::invokeMethod(
        &context_,
        [text, detail, shown] {
            ShowModal(text, detail);
            shown->set_value();
        },
        Qt::QueuedConnection);
    using namespace std::chrono_literals;
    while (dismissed.wait_for(100ms) != std::future_status::ready) {
        if (closed_) {
            return kNotShown;
        }
    }
    return 0;
}

void QtAlert::close() {
    closed_ = true;
}

}  // namespace platform
