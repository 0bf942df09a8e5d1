#pragma once

// DRAFT by the coordinator: the public surface the program (src/app) codes
// against. The controller helper owns this file and fills in the rest; keep
// the members marked "used by src/app" as they are.

#include <memory>

#include "controller/Desktop.h"
#include "controller/MenuModel.h"
#include "controller/StatusItem.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

namespace controller {

// The outside services the controller calls (address list and its change
// source, page fetch, reverse look-up, wireless name, machine name, mail).
// Each member defaults to the real service; tests replace them.
struct AppControllerServices;

class AppController {
public:
    // used by src/app: everything runs on `loop`'s thread.
    AppController(platform::RunLoop& loop, platform::NotificationCenter& center, StatusItem& item,
                  Desktop& desktop);
    AppController(platform::RunLoop& loop, platform::NotificationCenter& center, StatusItem& item,
                  Desktop& desktop, const AppControllerServices& services);
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    void init();                      // used by src/app: the start-up sequence
    void applicationWillTerminate();  // used by src/app: once, before the program ends
    void menuNeedsUpdate();           // used by src/app: the menu is about to open
    void performAction(const MenuItem& sender);  // used by src/app: an item was chosen

    // ... every other operation (setup, refresh, ipAddressChanged, setTitle,
    // externalIP, buildMenu, validateMenuItem, selItem..., the accessors).
};

}  // namespace controller
