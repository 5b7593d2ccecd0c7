#include "outputs/Outputs.h"

#include "outputs/CommandLine.h"

namespace telvane {

TOutputs::TOutputs(const TOutputSettings& settings, TReport report) {
    if (!settings.HookCommand.empty()) {
        auto arguments = SplitCommandLine(settings.HookCommand);
        if (!arguments) {
            report("hook command has an unclosed quote or a trailing backslash; it stays off");
        } else if (!arguments->empty()) {
            Hook_ = std::make_unique<THookRunner>(std::move(*arguments), settings.HookLog, report);
        }
    }
    if (!settings.MqttUrl.empty()) {
        if (auto url = ParseMqttUrl(settings.MqttUrl)) {
            Mqtt_ = MakeMqttPublisher(*url, MqttBaseTopic(settings.MqttTopic, settings.HostName),
                                      settings.HostName, report);
        } else {
            report("MQTT: the address is not mqtt://[user[:password]@]host[:port] or mqtts://...; "
                   "MQTT stays off");
        }
    }
}

void TOutputs::Post(const TCallEvent& event) {
    if (Hook_) {
        Hook_->Post(event);
    }
    if (Mqtt_) {
        Mqtt_->Publish(event);
    }
}

} // namespace telvane
