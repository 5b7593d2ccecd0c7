#include "outputs/Outputs.h"

namespace telvane {

bool MqttAvailable() {
    return false;
}

std::unique_ptr<IMqttPublisher> MakeMqttPublisher(const TMqttUrl&, const std::string&,
                                                  const std::string&, TReport report) {
    report("MQTT: this build of Telvane has no MQTT; MQTT stays off");
    return nullptr;
}

} // namespace telvane
