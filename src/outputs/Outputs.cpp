#include "outputs/Outputs.h"

#include "outputs/CommandLine.h"

namespace telvane {
namespace {

std::string TopicFault(TMqttTopicFault fault) {
    switch (fault) {
    case TMqttTopicFault::Wildcard:
        return "the topic (MqttTopic) has + or #";
    case TMqttTopicFault::NotText:
        return "the topic (MqttTopic) is not UTF-8 text or has a control character";
    case TMqttTopicFault::TooLong:
        return "the topic (MqttTopic) is too long or has too many levels";
    case TMqttTopicFault::None:
        break;
    }
    return {};
}

} // namespace

TOutputs::TOutputs(const TOutputSettings& settings, TReport report) {
    const auto unusable = [&](const std::string& line) {
        Unusable_.push_back(line);
        report(line);
    };
    if (!settings.HookCommand.empty()) {
        auto arguments = SplitCommandLine(settings.HookCommand);
        if (!arguments) {
            unusable("hook command has an unclosed quote or a trailing backslash; it stays off");
        } else if (!arguments->empty()) {
            Hook_ = std::make_unique<THookRunner>(std::move(*arguments), settings.HookLog, report);
        }
    }
    if (settings.MqttUrl.empty()) {
        return;
    }
    const auto url = ParseMqttUrl(settings.MqttUrl);
    // Nothing at all goes out under a topic MQTT refuses: a cut one would
    // mislead whoever listens there.
    const std::string topic = MqttBaseTopic(settings.MqttTopic, settings.HostName);
    const TMqttTopicFault fault = CheckMqttTopic(topic);
    if (!url) {
        unusable("MQTT: the address is not mqtt://[user[:password]@]host[:port] or mqtts://...; "
                 "MQTT stays off");
    } else if (!MqttAvailable()) {
        unusable("MQTT: " + MqttProblem() + "; MQTT stays off");
    } else if (fault != TMqttTopicFault::None) {
        unusable("MQTT: " + TopicFault(fault) + ", which MQTT cannot publish to; MQTT stays off");
    } else {
        Mqtt_ = MakeMqttPublisher(*url, topic, settings.HostName, report);
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

std::vector<std::string> TOutputs::Problems() const {
    std::vector<std::string> problems = Unusable_;
    if (Mqtt_) {
        if (std::string problem = Mqtt_->Problem(); !problem.empty()) {
            problems.push_back(std::move(problem));
        }
    }
    return problems;
}

} // namespace telvane
