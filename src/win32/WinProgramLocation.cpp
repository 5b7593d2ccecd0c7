#include "win32/WinProgramLocation.h"

#include "monitor/WideText.h"

#include <windows.h>

#include <vector>

namespace telvane::win32 {
namespace {

std::wstring ExecutablePath() {
    // Long paths need more than MAX_PATH; grow until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring FolderWithSeparator() {
    std::wstring path = ExecutablePath();
    const std::size_t separator = path.find_last_of(L"\\/");
    path.resize(separator == std::wstring::npos ? 0 : separator + 1);
    return path;
}

} // namespace

std::filesystem::path TWinProgramLocation::Folder() const {
    return std::filesystem::path(FolderWithSeparator());
}

std::string TWinProgramLocation::FolderText() const {
    return ShiftJisFromWide(FolderWithSeparator());
}

} // namespace telvane::win32
