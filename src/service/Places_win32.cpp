#include "service/Places.h"

#include "monitor/CallLogFolder.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <vector>

namespace telvane {

std::filesystem::path ProgramFile() {
    // Long paths need more than MAX_PATH; grow until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::filesystem::current_path() / L"telvane.exe";
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string HostName() {
    wchar_t host[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(host, &size)) {
        return "localhost";
    }
    return std::filesystem::path(std::wstring(host, size)).u8string();
}

std::filesystem::path ShowSocketFor(const std::filesystem::path& /*settingsFile*/) {
    return {}; // the window is found by its class
}

TPlaces UserPlaces() {
    TPlaces places;
    // %APPDATA%\Maruvo\Telvane: the roaming profile, so contacts follow the
    // user. Without a profile folder, the current folder.
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(
            ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        places.ConfigFolder = std::filesystem::path(folder) / L"Maruvo" / L"Telvane";
    }
    places.OwnPhonebook = places.ConfigFolder / L"phonebook.vcf";
    places.HookLog = places.ConfigFolder / L"hook.log";
    places.CallLogFolder = CallLogFolder(ProgramFile().parent_path());
    return places;
}

} // namespace telvane
