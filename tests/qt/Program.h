// The Qt program as main() builds it: the window, the settings store in the
// user's configuration folder, and the service, attached.
#pragma once

#include "qt/MainForm.h"
#include "service/Service.h"
#include "store/IniSettingsStore.h"

#include <memory>

namespace telvane::testing {

struct TProgram {
    explicit TProgram(bool english = false) {
        TServiceOptions options;
        options.English = english;
        options.WatchesFiles = true;
        Store = std::make_unique<TIniSettingsStore>(options.Places.SettingsFile);
        Service = std::make_unique<TService>(Form, Form.Timer(), *Store, options);
        Form.Attach(*Service);
    }
    // Loads the settings, starts the first query and shows the window.
    void Start() {
        Service->Start();
        Form.show();
    }

    TMainForm Form;
    std::unique_ptr<TIniSettingsStore> Store;
    std::unique_ptr<TService> Service; // gone before the window
};

} // namespace telvane::testing
