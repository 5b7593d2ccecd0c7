// The Qt program over a folder of its own, as main() builds it, without
// polling: for the benchmarks of its windows.
#pragma once

#include "callers/CallerDirectory.h"
#include "qt/MainForm.h"
#include "service/Service.h"
#include "store/IniSettingsStore.h"

#include <QApplication>

#include <filesystem>
#include <memory>

namespace telvane {

struct TBenchProgram {
    // settings: the settings file; logFolder: where RingLog.txt is.
    TBenchProgram(const std::filesystem::path& settings, const std::filesystem::path& logFolder)
        : Store(settings) {
        TServiceOptions options;
        options.Places = PlacesBeside(settings, logFolder);
        options.WatchesFiles = true;
        Service = std::make_unique<TService>(Form, Form.Timer(), Store, options);
        Form.Attach(*Service);
    }
    // Contacts are read on a thread of their own: measured once they are in.
    void WaitForContacts() {
        while (!Service->Directory().Snapshot()->Loaded) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    }

    TMainForm Form;
    TIniSettingsStore Store;
    std::unique_ptr<TService> Service; // gone before the window
};

} // namespace telvane
