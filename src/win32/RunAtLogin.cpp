#include "win32/RunAtLogin.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace telvane::win32 {
namespace {
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValue[] = L"Telvane";
} // namespace

bool RunAtLogin() {
    return ::RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValue, RRF_RT_REG_SZ, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS;
}

void SetRunAtLogin(bool enabled, const std::filesystem::path& program) {
    HKEY key = nullptr;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE,
                                       nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        if (enabled) {
            // Quoted: the path may hold blanks.
            const std::wstring command = L"\"" + program.wstring() + L"\"";
            status = ::RegSetValueExW(key, kValue, 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(command.c_str()),
                                      static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        } else {
            status = ::RegDeleteValueW(key, kValue);
            if (status == ERROR_FILE_NOT_FOUND) {
                status = ERROR_SUCCESS;
            }
        }
        ::RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: error " +
                                 std::to_string(status));
    }
}

} // namespace telvane::win32
