#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "controller/ControllerTexts.h"
#include "log/EventLog.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"

namespace controller {

namespace {

constexpr const char* kCopyDNSNameTip =
    "Copy this machines DNS (domain name system) name to the clipboard";
constexpr const char* kCopyExternalAddressTip = "Copy the external IP address to the clipboard";
constexpr const char* kCopyExternalDNSNameTip =
    "Copy this machines external DNS (domain name system) name to the clipboard";
constexpr const char* kCopyAddressTip = "Copy this machines IP address to the clipboard";

MenuItem Item(std::string title, MenuAction action, std::string toolTip = {}) {
    MenuItem item;
    item.title = std::move(title);
    item.action = action;
    item.toolTip = std::move(toolTip);
    return item;
}

MenuItem Separator() {
    MenuItem item;
    item.separator = true;
    return item;
}

MenuItem AddressItem(const std::string& address, int position) {
    MenuItem item =
        Item(address, MenuAction::CopySelectedAddress,
             "Copy addres " + std::to_string(position + 1) + " (" + address + ") to the clipboard");
    item.tag = position;
    return item;
}

Menu MenuItems(const std::vector<std::string>& addresses) {
    Menu menu{
        Item(std::string(texts::kDNSNameUnavailable), MenuAction::CopyDNSName, kCopyDNSNameTip),
        Item(std::string(texts::kExternalIPUnavailable), MenuAction::CopyExternalAddress,
             kCopyExternalAddressTip),
        Item(std::string(texts::kExternalDNSNameUnavailable), MenuAction::CopyExternalDNSName,
             kCopyExternalDNSNameTip),
        Separator(),
        Item("Copy IP Address", MenuAction::CopyAddress, kCopyAddressTip),
        Item("Copy External IP Address", MenuAction::CopyExternalAddress, kCopyExternalAddressTip),
        Item("Copy DNS Name", MenuAction::CopyDNSName, kCopyDNSNameTip),
        Item("Copy External DNS Name", MenuAction::CopyExternalDNSName, kCopyExternalDNSNameTip),
        Separator(),
        Item("All local Addresses:", MenuAction::None),
    };
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        menu.push_back(AddressItem(addresses[i], static_cast<int>(i)));
    }
    menu.push_back(Separator());
    menu.push_back(Item("Preferences...", MenuAction::Preferences));
    menu.push_back(Item("Console Log...", MenuAction::OpenConsoleLog));
    menu.push_back(Separator());
    menu.push_back(Item("About OrbalenStatus", MenuAction::About));
    menu.push_back(Item("Quit", MenuAction::Quit));
    return menu;
}

}  // namespace

void AppController::buildMenu() {
    menu_ = std::make_shared<Menu>(MenuItems(gAddresses));
    // Items enable themselves as validation says, like an auto-enabling menu.
    for (auto& item : *menu_) {
        item.enabled = validateMenuItem(item);
    }
    publishMenu();
    if (titleIconOnly()) {
        item_.setImage(std::string(texts::kSmallImage));
    } else {
        item_.setImage(std::nullopt);
    }
}

void AppController::publishAddressItems() {
    if (!menu_) {
        return;
    }
    // The address items list the addresses as they are now, so each one
    // shows what choosing it copies; the information lines stay as they are.
    auto menu = std::make_shared<Menu>(MenuItems(gAddresses));
    for (std::size_t position = 0; position <= texts::kExternalDNSNamePosition; ++position) {
        (*menu)[position].title = (*menu_)[position].title;
    }
    for (auto& item : *menu) {
        item.enabled = validateMenuItem(item);
    }
    menu_ = std::move(menu);
    publishMenu();
}

void AppController::menuNeedsUpdate() {
    if (!settings::ReadFlag(settings::keys::kIncludeExternalIP)) {
        retitleMenuItem(texts::kExternalAddressPosition, std::string(texts::kIncludeExternalIPOff));
    } else {
        // The lines fill in as the answers come; the menu is given again then.
        log_.add([this](LogSequencer::Done done) {
            externalIP([this, done](const std::string& address) {
                retitleMenuItem(texts::kExternalAddressPosition, address);
                nameFor(address, [this, address, done](std::optional<std::string> name) {
                    if (name) {
                        retitleMenuItem(texts::kExternalDNSNamePosition, *name);
                    }
                    eventlog::LogEntry("External IP address:" + address + " (" +
                                       name.value_or(std::string(texts::kNoName)) + ")");
                    done();
                });
            });
        });
    }
    runRefresh(false, nullptr);
    publishAddressItems();
}

bool AppController::validateMenuItem(const MenuItem& item) const {
    return item.action != MenuAction::None;
}

void AppController::retitleMenuItem(std::size_t position, const std::string& title) {
    if (!menu_ || position >= menu_->size()) {
        return;  // before the first build there is nothing to retitle
    }
    if ((*menu_)[position].title == title) {
        return;
    }
    (*menu_)[position].title = title;
    publishMenu();
}

void AppController::publishMenu() {
    item_.setMenu(std::make_shared<const Menu>(*menu_));
}

void AppController::publishState() {
    desktop_.publishState(CurrentAddressState());
}

}  // namespace controller
