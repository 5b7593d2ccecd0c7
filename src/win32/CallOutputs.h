// Hands each call event of the Windows shell to the outputs library: the
// hook command (started with CreateProcessW there). MQTT is not in the
// Windows build; a MqttUrl setting gets the library's report of that.
#pragma once

#include "monitor/AddedSettings.h"
#include "monitor/CallSink.h"
#include "outputs/Outputs.h"
#include "win32/WhoCalled.h"

#include <filesystem>
#include <memory>

namespace telvane::win32 {

class TCallOutputs final : public ICallSink {
public:
    // hookLog: where the hook's output goes.
    TCallOutputs(const TAddedSettings& settings, const TWhoCalled& who,
                 const std::filesystem::path& hookLog);

    void NewCaller(const std::string& number, const std::string& detectionTime,
                   const std::string& previousPollTime) override;
    void AdapterHealth(bool up) override;
    TOutputs& Outputs() { return *Outputs_; }

private:
    const TWhoCalled& Who_;
    std::unique_ptr<TOutputs> Outputs_;
};

} // namespace telvane::win32
