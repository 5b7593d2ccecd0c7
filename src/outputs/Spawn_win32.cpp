#include "outputs/Spawn.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <vector>

namespace telvane {
namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

// One argument quoted so that the C runtime's parser gives it back unchanged.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// This process's environment with the request's values put in, sorted by
// name without regard to case as CreateProcessW expects.
std::wstring EnvironmentBlock(const TSpawnRequest& request) {
    struct TLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const {
            return _wcsicmp(a.c_str(), b.c_str()) < 0;
        }
    };
    std::map<std::wstring, std::wstring, TLess> values;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
            const std::wstring text = entry;
            const std::size_t equals = text.find(L'=', 1);
            if (equals != std::wstring::npos) {
                values[text.substr(0, equals)] = text.substr(equals + 1);
            }
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : request.Environment) {
        values[Wide(name)] = Wide(value);
    }
    std::wstring result;
    for (const auto& [name, value] : values) {
        result += name + L"=" + value;
        result += L'\0';
    }
    result += L'\0';
    return result;
}

// Enough for all a full pipe holds.
constexpr DWORD ReadSize = 64 * 1024;

// The output pipe: a named pipe, since only those can be read with a time
// limit (overlapped). The read end is ours; the write end is inheritable.
bool MakeOutputPipe(HANDLE& read, HANDLE& write) {
    static std::atomic<unsigned> made{0};
    const std::wstring name = L"\\\\.\\pipe\\telvane-hook-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++made);
    read = CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
        ReadSize, 0, nullptr);
    if (read == INVALID_HANDLE_VALUE) {
        return false;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    write = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (write == INVALID_HANDLE_VALUE) {
        CloseHandle(read);
        return false;
    }
    return true;
}

// A job ends whatever the hook started along with it; with kill on close,
// that happens too when Telvane itself ends without ending the hook.
HANDLE MakeJob(HANDLE process) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr &&
        (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
         !AssignProcessToJobObject(job, process))) {
        CloseHandle(job);
        job = nullptr;
    }
    return job;
}

class TWin32Child final : public TChildProcess {
public:
    TWin32Child(HANDLE process, HANDLE job, HANDLE output)
        : Process_(process), Job_(job), Output_(output), Buffer_(ReadSize) {
        Overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~TWin32Child() override {
        if (!Status_) {
            Kill();
        }
        CloseOutput();
        CloseHandle(Overlapped_.hEvent);
        CloseHandle(Process_);
        if (Job_ != nullptr) {
            CloseHandle(Job_);
        }
    }

    std::optional<int> Wait(std::chrono::milliseconds timeout, std::string& output) override {
        if (Status_) {
            return Status_;
        }
        if (StartRead(output)) {
            return std::nullopt;
        }
        const HANDLE events[2] = {Process_, Overlapped_.hEvent};
        const DWORD woke = WaitForMultipleObjects(Pending_ ? 2 : 1, events, FALSE,
                                                  static_cast<DWORD>(timeout.count()));
        if (woke == WAIT_OBJECT_0) {
            // Take what the hook left in the pipe, not what its background
            // work writes later; that work is kept: the job no longer ends it.
            FinishRead(output, true);
            DWORD available = 0;
            if (Output_ != nullptr &&
                PeekNamedPipe(Output_, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
                !StartRead(output)) {
                FinishRead(output, true);
            }
            CloseOutput();
            if (Job_ != nullptr) {
                JOBOBJECT_EXTENDED_LIMIT_INFORMATION keep{};
                SetInformationJobObject(Job_, JobObjectExtendedLimitInformation, &keep,
                                        sizeof keep);
            }
            DWORD code = 0;
            GetExitCodeProcess(Process_, &code);
            Status_ = static_cast<int>(code);
        } else if (woke == WAIT_OBJECT_0 + 1) {
            FinishRead(output, false);
        }
        return Status_;
    }

    void Kill() override {
        if (Status_) {
            return;
        }
        if (Job_ != nullptr) {
            TerminateJobObject(Job_, 137);
        }
        TerminateProcess(Process_, 137);
        WaitForSingleObject(Process_, INFINITE);
        CloseOutput();
        Status_ = 137;
    }

private:
    // Starts a read unless one is pending; whether output came at once.
    bool StartRead(std::string& output) {
        if (Output_ == nullptr || Pending_) {
            return false;
        }
        DWORD length = 0;
        if (ReadFile(Output_, Buffer_.data(), ReadSize, &length, &Overlapped_)) {
            output.append(Buffer_.data(), length);
            return length > 0;
        }
        if (GetLastError() == ERROR_IO_PENDING) {
            Pending_ = true;
        } else {
            CloseOutput(); // every writer is gone
        }
        return false;
    }

    // Collects the pending read; at the end, stops waiting for it.
    void FinishRead(std::string& output, bool end) {
        if (!Pending_) {
            return;
        }
        if (end) {
            CancelIoEx(Output_, &Overlapped_);
        }
        DWORD length = 0;
        const BOOL read = GetOverlappedResult(Output_, &Overlapped_, &length, TRUE);
        Pending_ = false;
        if (read) {
            output.append(Buffer_.data(), length);
        } else if (!end) {
            CloseOutput();
        }
    }

    void CloseOutput() {
        if (Output_ == nullptr) {
            return;
        }
        if (Pending_) {
            CancelIoEx(Output_, &Overlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(Output_, &Overlapped_, &ignored, TRUE);
            Pending_ = false;
        }
        CloseHandle(Output_);
        Output_ = nullptr;
    }

    HANDLE Process_;
    HANDLE Job_;
    HANDLE Output_; // nullptr once closed
    OVERLAPPED Overlapped_{};
    bool Pending_ = false;
    std::vector<char> Buffer_;
    std::optional<int> Status_;
};

} // namespace

std::unique_ptr<TChildProcess> SpawnProcess(const TSpawnRequest& request, std::string& error) {
    if (request.Arguments.empty()) {
        error = "no program given";
        return nullptr;
    }
    std::wstring line;
    for (const std::string& argument : request.Arguments) {
        if (!line.empty()) {
            line += L' ';
        }
        AppendQuoted(line, Wide(argument));
    }
    HANDLE output = nullptr;
    HANDLE outputWrite = nullptr;
    if (!MakeOutputPipe(output, outputWrite)) {
        error = "cannot make a pipe (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    std::wstring environment = EnvironmentBlock(request);
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | CREATE_SUSPENDED,
                       environment.data(), nullptr, &startup, &process);
    const DWORD failure = GetLastError();
    CloseHandle(outputWrite);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    if (!started) {
        CloseHandle(output);
        error = request.Arguments[0] + ": cannot start (error " + std::to_string(failure) + ")";
        return nullptr;
    }
    HANDLE job = MakeJob(process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    return std::make_unique<TWin32Child>(process.hProcess, job, output);
}

} // namespace telvane
