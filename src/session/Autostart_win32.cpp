// The Run value of the user's key: Windows starts what it names at logon.
#include "session/Autostart.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace telvane {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Telvane";

[[noreturn]] void Fail(const char* what, LSTATUS status) {
    throw std::runtime_error(
        std::string("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: ") + what +
        " failed with error " + std::to_string(status));
}

} // namespace

std::string DesktopExecValue(const std::filesystem::path& program) {
    return "\"" + program.string() + "\"";
}

bool TAutostart::Enabled() const {
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

void TAutostart::SetEnabled(bool enabled) {
    HKEY key = nullptr;
    const LSTATUS opened = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, &key, nullptr);
    if (opened != ERROR_SUCCESS) {
        Fail("opening the key", opened);
    }
    LSTATUS status;
    if (enabled) {
        // Quoted, since the path may hold blanks.
        const std::wstring command = L"\"" + Program_.wstring() + L"\"";
        status = RegSetValueExW(key, kValueName, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    } else {
        status = RegDeleteValueW(key, kValueName);
        if (status == ERROR_FILE_NOT_FOUND) {
            status = ERROR_SUCCESS;
        }
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        Fail(enabled ? "writing the value" : "removing the value", status);
    }
}

} // namespace telvane
