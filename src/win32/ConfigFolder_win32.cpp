// Where Telvane keeps what the user gives it on Windows.
#include "win32/WhoCalled.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

namespace telvane::win32 {

std::filesystem::path ConfigFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        // No profile folder: the current folder.
        return {};
    }
    return std::filesystem::path(folder) / L"Maruvo" / L"Telvane";
}

} // namespace telvane::win32
