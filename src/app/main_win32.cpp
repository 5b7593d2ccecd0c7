// Telvane for Windows: shows which telephone number last called in on an
// ISDN line.
#include "win32/AboutDialog.h"
#include "win32/CallOutputs.h"
#include "win32/CallerFeatures.h"
#include "win32/MainForm.h"
#include "win32/SingleInstance.h"

#include <commctrl.h>
#include <windows.h>

#include <iterator>

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
    TMyAboutDialogBox MyAboutDialogBox(instance, MainForm.Handle());
    MainForm.SetAboutDialog([&MyAboutDialogBox] { MyAboutDialogBox.ShowModalMaximized(); });

    wchar_t program[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, program, static_cast<DWORD>(std::size(program)));
    TCallerFeatures Features(MainForm, ConfigFolder() / L"phonebook.vcf", program);
    // The hook command of each call event; its output beside the contacts.
    TCallOutputs Outputs(Features.Settings(), Features.Who(), ConfigFolder() / L"hook.log");
    MainForm.CallSinks().Add(&Outputs);
    MainForm.SetCaptionsChanged([&Features] { Features.Update(); });
    MainForm.SetMessageHook([&Features](UINT message, WPARAM wParam, LPARAM lParam) {
        return Features.HandleMessage(message, wParam, lParam);
    });

    MainForm.AllFormCreated();
    MainForm.Show(showCommand);

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!Features.PreTranslate(message) && !MainForm.PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    MainForm.CallSinks().Remove(&Outputs);
    return static_cast<int>(message.wParam);
}
