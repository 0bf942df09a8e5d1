#include "app/GuiBridge.h"

#include <mutex>

namespace app {

// The latest snapshot not yet shown; one post is enough however many
// changes pile up before the GUI thread takes it.
struct GuiBridge::Mailbox {
    std::mutex mutex;
    std::optional<StatusSnapshot> pending;
};

GuiBridge::GuiBridge(platform::RunLoop& gui, GuiSink& sink)
    : gui_(gui), sink_(sink), mailbox_(std::make_shared<Mailbox>()) {}

GuiBridge::~GuiBridge() = default;

void GuiBridge::setTitle(const std::string& title) {
    current_.title = title;
    publish();
}

std::string GuiBridge::title() const {
    return current_.title;
}

void GuiBridge::setImage(const std::optional<std::string>& resourceName) {
    current_.image = resourceName;
    publish();
}

void GuiBridge::setHighlightMode(bool on) {
    current_.highlight = on;
    publish();
}

void GuiBridge::setMenu(std::shared_ptr<const controller::Menu> menu) {
    current_.menu = std::move(menu);
    publish();
}

void GuiBridge::publish() {
    bool first;
    {
        std::lock_guard lock(mailbox_->mutex);
        first = !mailbox_->pending.has_value();
        mailbox_->pending = current_;
    }
    if (!first) {
        return;  // the post already on its way will carry this one
    }
    gui_.post([mailbox = mailbox_, &sink = sink_] {
        std::optional<StatusSnapshot> status;
        {
            std::lock_guard lock(mailbox->mutex);
            status.swap(mailbox->pending);
        }
        if (status) {
            sink.showStatus(*status);
        }
    });
}

void GuiBridge::putOnClipboard(const std::string& text) {
    gui_.post([&sink = sink_, text] { sink.putOnClipboard(text); });
}

void GuiBridge::bringToFront() {
    gui_.post([&sink = sink_] { sink.bringToFront(); });
}

void GuiBridge::showAboutPanel() {
    gui_.post([&sink = sink_] { sink.showAboutPanel(); });
}

void GuiBridge::showPreferences() {
    gui_.post([&sink = sink_] { sink.showPreferences(); });
}

void GuiBridge::terminate() {
    gui_.post([&sink = sink_] { sink.quit(); });
}

void GuiBridge::publishState(const controller::AddressState& state) {
    gui_.post([&sink = sink_, state] { sink.showState(state); });
}

void GuiBridge::notify(const std::string& summary, const std::string& body) {
    gui_.post([&sink = sink_, summary, body] { sink.notify(summary, body); });
}

void GuiBridge::openLog(const std::filesystem::path& logFile) {
    gui_.post([&sink = sink_, logFile] { sink.openLog(logFile); });
}

}  // namespace app
