// The topic check of the MQTT plugin: libmosquitto's own.
#include "outputs/MqttUrl.h"

#include <mosquitto.h>

namespace telvane {
namespace {

// Every topic published under base must be one the library takes.
TMqttTopicFault FaultOf(const std::string& base) {
    for (const char* suffix : {"/call", "/last", "/status", "/adapter"}) {
        const std::string topic = base + suffix;
        const int rc = mosquitto_pub_topic_check2(topic.data(), topic.size());
        if (rc == MOSQ_ERR_INVAL) {
            return topic.find_first_of("+#") != std::string::npos ? TMqttTopicFault::Wildcard
                                                                  : TMqttTopicFault::TooLong;
        }
        // Within 65,535 bytes now, so the length fits an int.
        if (rc != MOSQ_ERR_SUCCESS ||
            mosquitto_validate_utf8(topic.data(), static_cast<int>(topic.size())) !=
                MOSQ_ERR_SUCCESS) {
            return TMqttTopicFault::NotText;
        }
    }
    return TMqttTopicFault::None;
}

} // namespace
} // namespace telvane

extern "C" int TelvaneMqttTopicFault(const std::string& base) {
    return static_cast<int>(telvane::FaultOf(base));
}
