// One running copy per user: a named mutex tells a second start that the
// program runs already, and the second start brings the first to the front.
#pragma once

#include <windows.h>

namespace telvane::win32 {

class TSingleInstance {
public:
    TSingleInstance();
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // Whether this is the only copy of the program for this user.
    bool First() const { return First_; }
    // Restores and activates the first copy's main window of the given class.
    static void BringToFront(const wchar_t* windowClass);

private:
    HANDLE Mutex_ = nullptr;
    bool First_ = true;
};

} // namespace telvane::win32
