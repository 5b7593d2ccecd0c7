#include "win32/SingleInstance.h"

#include <string>

namespace telvane::win32 {

TSingleInstance::TSingleInstance() {
    wchar_t user[257] = {};
    DWORD length = sizeof user / sizeof user[0];
    if (!::GetUserNameW(user, &length)) {
        user[0] = L'\0';
    }
    // The session's namespace, and the user's name in it: one copy per user.
    std::wstring name = L"Local\\Maruvo.Telvane.";
    for (const wchar_t* c = user; *c; ++c) {
        name += *c == L'\\' ? L'_' : *c;
    }
    Mutex_ = ::CreateMutexW(nullptr, FALSE, name.c_str());
    First_ = !(Mutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS);
}

TSingleInstance::~TSingleInstance() {
    if (Mutex_) {
        ::CloseHandle(Mutex_);
    }
}

void TSingleInstance::BringToFront(const wchar_t* windowClass) {
    const HWND first = ::FindWindowW(windowClass, nullptr);
    if (!first) {
        return;
    }
    if (::IsIconic(first)) {
        ::ShowWindow(first, SW_RESTORE);
    }
    ::SetForegroundWindow(first);
}

} // namespace telvane::win32
