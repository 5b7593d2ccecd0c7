#include "monitor/CallLogFolder.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace telvane {

// Whether a file can be made there: the access rights of a folder tell
// less than trying, with inherited entries and shares in play.
bool FolderWritable(const std::filesystem::path& folder) {
    const std::filesystem::path probe =
        folder / (L"telvane-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp");
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

std::filesystem::path UserDataFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') {
        return {};
    }
    return std::filesystem::path(local) / L"Maruvo" / L"Telvane";
}

} // namespace telvane
