#include "store/AtomicFile.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <system_error>

namespace telvane {
namespace {

[[noreturn]] void Fail(DWORD error, const std::string& what) {
    throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

} // namespace

void ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                           TNewFileAccess /*access: the folder's inherited rights*/) {
    const std::wstring target = file.wstring();
    const std::wstring temporary =
        target + L".tmp" + std::to_wstring(static_cast<unsigned long>(::GetCurrentProcessId()));
    const HANDLE handle = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Fail(::GetLastError(), file.u8string());
    }
    std::size_t done = 0;
    bool ok = true;
    DWORD error = 0;
    while (ok && done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        ok = ::WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) != 0 && written > 0;
        done += written;
    }
    ok = ok && ::FlushFileBuffers(handle) != 0;
    if (!ok) {
        error = ::GetLastError();
    }
    ::CloseHandle(handle);
    if (ok && ::MoveFileExW(temporary.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        ::DeleteFileW(temporary.c_str());
        Fail(error, file.u8string());
    }
}

} // namespace telvane
