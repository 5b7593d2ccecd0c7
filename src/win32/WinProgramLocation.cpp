#include "win32/WinProgramLocation.h"

#include "monitor/CallLogFolder.h"
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

TWinProgramLocation::TWinProgramLocation() {
    const std::filesystem::path program(FolderWithSeparator());
    Folder_ = CallLogFolder(program);
    UserData_ = Folder_ != program;
    std::wstring text = Folder_.wstring();
    if (!text.empty() && text.back() != L'\\' && text.back() != L'/') {
        text += L'\\';
    }
    FolderText_ = ShiftJisFromWide(text);
}

std::filesystem::path TWinProgramLocation::Folder() const {
    if (UserData_) {
        // A folder that cannot be made shows as the log's own failure.
        std::error_code ignored;
        std::filesystem::create_directories(Folder_, ignored);
    }
    return Folder_;
}

} // namespace telvane::win32
