// Appending to the call log with Win32 file calls: the file is opened with a
// share mode that lets others read it but keeps every other writer out while
// the line goes in, and every failure carries the system's message.
#include "monitor/CallLog.h"

#include "monitor/MonitorError.h"
#include "monitor/Texts.h"
#include "monitor/WideText.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

namespace telvane {
namespace {

constexpr LONGLONG kCtrlZWindow = 128;
constexpr char kCtrlZ = 26;

// The system's own text for an error code, without its line end.
std::string SystemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer) {
        ::LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "error " + std::to_string(error);
    }
    return ShiftJisFromWide(text);
}

class TLogFileWriter {
public:
    TLogFileWriter(const std::filesystem::path& file, std::string displayName)
        : DisplayName_(std::move(displayName)) {
        // Readers may share the file; a second writer fails to open it.
        File_ = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (File_ == INVALID_HANDLE_VALUE) {
            Fail(::GetLastError());
        }
    }

    ~TLogFileWriter() {
        if (File_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(File_);
        }
    }

    TLogFileWriter(const TLogFileWriter&) = delete;
    TLogFileWriter& operator=(const TLogFileWriter&) = delete;

    // Cuts the file at the first Ctrl-Z of its last 128 bytes; returns the
    // file's end afterwards.
    LONGLONG CutAtEndOfFileMark() {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(File_, &size)) {
            Fail(::GetLastError());
        }
        const LONGLONG tailStart = size.QuadPart - std::min(size.QuadPart, kCtrlZWindow);
        char tail[kCtrlZWindow];
        const auto tailLength = static_cast<DWORD>(size.QuadPart - tailStart);
        DWORD got = 0;
        while (got < tailLength) {
            DWORD n = 0;
            Seek(tailStart + got);
            if (!::ReadFile(File_, tail + got, tailLength - got, &n, nullptr)) {
                Fail(::GetLastError());
            }
            if (n == 0) {
                break;
            }
            got += n;
        }
        const char* mark = std::find(tail, tail + got, kCtrlZ);
        if (mark == tail + got) {
            return size.QuadPart;
        }
        const LONGLONG cut = tailStart + (mark - tail);
        CutAt(cut);
        return cut;
    }

    // Writes the whole line or, when the disk is full or the write fails,
    // cuts the file back to where the line began: no part of a line stays
    // for the next line to be joined to.
    void WriteAt(LONGLONG position, const std::string& bytes) {
        Seek(position);
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD n = 0;
            const BOOL ok = ::WriteFile(File_, bytes.data() + done,
                                        static_cast<DWORD>(bytes.size() - done), &n, nullptr);
            if (!ok || n == 0) {
                const DWORD error = ok ? ERROR_WRITE_FAULT : ::GetLastError();
                LARGE_INTEGER back{};
                back.QuadPart = position;
                if (::SetFilePointerEx(File_, back, nullptr, FILE_BEGIN)) {
                    ::SetEndOfFile(File_);
                }
                Fail(error);
            }
            done += n;
        }
    }

    void Close() {
        const HANDLE file = File_;
        File_ = INVALID_HANDLE_VALUE;
        if (!::CloseHandle(file)) {
            Fail(::GetLastError());
        }
    }

private:
    void Seek(LONGLONG position) {
        LARGE_INTEGER to{};
        to.QuadPart = position;
        if (!::SetFilePointerEx(File_, to, nullptr, FILE_BEGIN)) {
            Fail(::GetLastError());
        }
    }

    void CutAt(LONGLONG position) {
        Seek(position);
        if (!::SetEndOfFile(File_)) {
            Fail(::GetLastError());
        }
    }

    [[noreturn]] void Fail(DWORD error) const {
        throw EMonitorError(std::string(texts::kRingLogBefore) + DisplayName_ +
                            texts::kRingLogAfter + " (" + SystemMessage(error) + ")");
    }

    std::string DisplayName_;
    HANDLE File_ = INVALID_HANDLE_VALUE;
};

} // namespace

void AppendRingLogText(const std::filesystem::path& file, const std::string& displayName,
                       const std::string& lines) {
    TLogFileWriter writer(file, displayName);
    const LONGLONG end = writer.CutAtEndOfFileMark();
    writer.WriteAt(end, lines);
    writer.Close();
}

} // namespace telvane
