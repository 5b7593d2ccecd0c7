#include "outputs/Platform.h"

#include <windows.h>

#include <map>

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

class TWin32Child final : public TChildProcess {
public:
    TWin32Child(HANDLE process, HANDLE job) : Process_(process), Job_(job) {}
    ~TWin32Child() override {
        if (!Status_) {
            Kill();
        }
        CloseHandle(Process_);
        if (Job_ != nullptr) {
            CloseHandle(Job_);
        }
    }

    std::optional<int> Wait(std::chrono::milliseconds timeout) override {
        if (!Status_ &&
            WaitForSingleObject(Process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(Process_, &code);
            Status_ = static_cast<int>(code);
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
        Status_ = 137;
    }

private:
    HANDLE Process_;
    HANDLE Job_;
    std::optional<int> Status_;
};

} // namespace

void LocalTime(std::time_t instant, std::tm& local) {
    localtime_s(&local, &instant);
}

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
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = CreateFileW(Wide(request.OutputFile).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        error = request.OutputFile + ": cannot open (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring environment = EnvironmentBlock(request);
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | CREATE_SUSPENDED,
                       environment.data(), nullptr, &startup, &process);
    const DWORD failure = GetLastError();
    CloseHandle(output);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    if (!started) {
        error = request.Arguments[0] + ": cannot start (error " + std::to_string(failure) + ")";
        return nullptr;
    }
    // A job ends whatever the hook started along with it.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    return std::make_unique<TWin32Child>(process.hProcess, job);
}

} // namespace telvane
