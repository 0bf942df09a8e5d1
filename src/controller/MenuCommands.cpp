#include <utility>

#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "controller/ControllerTexts.h"

namespace controller {

void AppController::performAction(const MenuItem& sender) {
    if (!validateMenuItem(sender)) {
        return;
    }
    using Command = void (AppController::*)(const MenuItem&);
    static constexpr std::pair<MenuAction, Command> kCommands[] = {
        {MenuAction::CopyDNSName, &AppController::selItemCopyDNSName},
        {MenuAction::CopyExternalAddress, &AppController::selItemCopyExternalAddress},
        {MenuAction::CopyExternalDNSName, &AppController::selItemCopyExternalDNSName},
        {MenuAction::CopyAddress, &AppController::selItemCopyAddress},
        {MenuAction::CopySelectedAddress, &AppController::selItemCopySelectedAddress},
        {MenuAction::Preferences, &AppController::selItemPreferences},
        {MenuAction::OpenConsoleLog, &AppController::selItemOpenConsoleLog},
        {MenuAction::About, &AppController::selItemAbout},
        {MenuAction::Quit, &AppController::selItemQuit},
    };
    for (const auto& [action, command] : kCommands) {
        if (action == sender.action) {
            (this->*command)(sender);
            return;
        }
    }
}

void AppController::selItemCopyDNSName(const MenuItem& /*sender*/) {
    if (menu_) {
        desktop_.putOnClipboard((*menu_)[texts::kDNSNamePosition].title);
    }
}

void AppController::selItemCopyExternalDNSName(const MenuItem& /*sender*/) {
    if (menu_) {
        desktop_.putOnClipboard((*menu_)[texts::kExternalDNSNamePosition].title);
    }
}

void AppController::selItemCopyAddress(const MenuItem& /*sender*/) {
    desktop_.putOnClipboard(item_.title());
}

void AppController::selItemCopyExternalAddress(const MenuItem& /*sender*/) {
    log_.add([this](LogSequencer::Done done) {
        externalIP([this, done](const std::string& address) {
            desktop_.putOnClipboard(address);
            done();
        });
    });
}

void AppController::selItemCopySelectedAddress(const MenuItem& sender) {
    // The items are rebuilt as the menu opens; should the list change while
    // it is open, the entry now at the item's position is copied, and
    // nothing when there is none.
    if (sender.tag < 0 || static_cast<std::size_t>(sender.tag) >= gAddresses.size()) {
        return;
    }
    desktop_.putOnClipboard(gAddresses[static_cast<std::size_t>(sender.tag)]);
}

void AppController::selItemPreferences(const MenuItem& /*sender*/) {
    desktop_.bringToFront();
    desktop_.showPreferences();
}

void AppController::selItemOpenConsoleLog(const MenuItem& /*sender*/) {
    services_.openConsole();
}

void AppController::selItemAbout(const MenuItem& /*sender*/) {
    desktop_.bringToFront();
    desktop_.showAboutPanel();
}

void AppController::selItemQuit(const MenuItem& /*sender*/) {
    desktop_.terminate();
}

}  // namespace controller
