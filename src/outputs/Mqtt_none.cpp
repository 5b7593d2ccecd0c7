#include "outputs/MqttFollower.h"
#include "outputs/Outputs.h"

namespace telvane {

bool MqttAvailable() {
    return false;
}

std::string MqttProblem() {
    return "this build of Telvane has no MQTT";
}

std::unique_ptr<IMqttPublisher> MakeMqttPublisher(const TMqttUrl&, const std::string&,
                                                  const std::string&, TReport) {
    return nullptr;
}

// Nor followed.
std::unique_ptr<IMqttFollower> MakeMqttFollower(const TMqttUrl&, const std::string&,
                                                const std::string&, IMqttFollowerSink&, TReport) {
    return nullptr;
}

// Nothing is ever published here.
TMqttTopicFault CheckMqttTopic(const std::string&) {
    return TMqttTopicFault::None;
}

} // namespace telvane
