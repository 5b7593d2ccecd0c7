// Telvane for Windows: shows which telephone number last called in on an
// ISDN line. Builds the settings store, the window and the service, and
// runs the message loop.
#include "service/Service.h"
#include "win32/MainForm.h"
#include "win32/RegistrySettingsStore.h"
#include "win32/SingleInstance.h"
#include "win32/Translation.h"
#include "win32/widgets/AboutDialog.h"

#include <commctrl.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace telvane::win32;

    TSingleInstance single;
    if (!single.First()) {
        TSingleInstance::BringToFront(TMainForm::kClassName);
        return 0;
    }

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    TMainForm MainForm(instance);
    if (!MainForm.Create()) {
        return 1;
    }
    TRegistrySettingsStore store;
    telvane::TServiceOptions options;
    options.English = EnglishInterface();
    telvane::TService service(MainForm, MainForm.Timer(), store, options);
    MainForm.Attach(service);
    TMyAboutDialogBox MyAboutDialogBox(instance, MainForm.Handle());
    MainForm.SetAboutDialog([&MyAboutDialogBox] { MyAboutDialogBox.ShowModalMaximized(); });

    service.Start();
    MainForm.Show(showCommand);

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!MainForm.PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    MainForm.Detach();
    return static_cast<int>(message.wParam);
}
