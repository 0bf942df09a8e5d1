#pragma once

#include <filesystem>
#include <memory>

#include "app/GuiSink.h"
#include "controller/Desktop.h"
#include "controller/StatusItem.h"
#include "platform/RunLoop.h"

namespace app {

// The controller's status item and desktop, on the controller's thread: each
// call updates a local copy and posts the result to the GUI thread, so the
// controller never waits for the GUI. Status changes made in one burst reach
// the GUI as one snapshot.
class GuiBridge : public controller::StatusItem, public controller::Desktop {
public:
    // gui runs sink's calls; the sink must outlive gui's pending work.
    GuiBridge(platform::RunLoop& gui, GuiSink& sink);
    ~GuiBridge() override;

    void setTitle(const std::string& title) override;
    std::string title() const override;
    void setImage(const std::optional<std::string>& resourceName) override;
    void setHighlightMode(bool on) override;
    void setMenu(std::shared_ptr<const controller::Menu> menu) override;

    void putOnClipboard(const std::string& text) override;
    void bringToFront() override;
    void showAboutPanel() override;
    void showPreferences() override;
    void terminate() override;
    void publishState(const controller::AddressState& state) override;
    void notify(const std::string& summary, const std::string& body) override;
    // "Console Log...": the viewer is started from the GUI thread, which can
    // say where the file is when none takes it.
    void openLog(const std::filesystem::path& logFile);

private:
    struct Mailbox;
    void publish();

    platform::RunLoop& gui_;
    GuiSink& sink_;
    StatusSnapshot current_;
    std::shared_ptr<Mailbox> mailbox_;  // shared with posted work that may outlive us
};

}  // namespace app
