#include "win32/CallOutputs.h"

#include "callers/TextDecoding.h"
#include "monitor/WideText.h"

#include <windows.h>

namespace telvane::win32 {
namespace {

// A failure of an output, once, without a box: for the debugger's or a log
// viewer's eyes. Called from the outputs' threads.
void Report(const std::string& line) {
    ::OutputDebugStringW((L"Telvane: " + WideFromUtf8(line) + L"\n").c_str());
}

} // namespace

TCallOutputs::TCallOutputs(const TAddedSettings& settings, const TWhoCalled& who,
                           const std::filesystem::path& hookLog)
    : Who_(who) {
    if (!settings.HookCommand.empty()) {
        // The hook's log goes beside the contacts; the folder may be new.
        std::error_code ignored;
        std::filesystem::create_directories(hookLog.parent_path(), ignored);
    }
    TOutputSettings outputs;
    outputs.HookCommand = settings.HookCommand;
    outputs.HookLog = hookLog.u8string();
    outputs.MqttUrl = settings.MqttUrl;
    outputs.MqttTopic = settings.MqttTopic;
    wchar_t host[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (::GetComputerNameW(host, &size)) {
        outputs.HostName = Utf8FromWide(std::wstring(host, size));
    }
    Outputs_ = std::make_unique<TOutputs>(outputs, Report);
}

void TCallOutputs::NewCaller(const std::string& number, const std::string& detectionTime,
                             const std::string& previousPollTime) {
    const TCallerView view = Who_.Describe(number);
    TCallEvent event;
    event.Number = ShiftJisToUtf8(number);
    event.Display = view.Info.Display;
    event.Name = view.Name;
    event.Area = view.Info.Area;
    event.NumberKind = view.Info.Kind;
    event.Time = IsoTime(detectionTime);
    event.PreviousPoll = IsoTime(previousPollTime);
    Outputs_->Post(event);
}

void TCallOutputs::AdapterHealth(bool up) {
    TCallEvent event;
    event.Kind = up ? TEventKind::AdapterUp : TEventKind::AdapterDown;
    event.Time = IsoNow();
    Outputs_->Post(event);
}

} // namespace telvane::win32
