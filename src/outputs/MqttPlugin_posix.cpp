// MQTT through the plugin that holds libmosquitto and OpenSSL, opened the
// first time MQTT is set up or a topic checked; TELVANE_MQTT_PLUGIN names the
// file instead of the usual places.
#include "outputs/MqttFollower.h"
#include "outputs/Outputs.h"
#include "plugin/Plugin.h"

#include <mutex>

extern "C" {
using TMakePublisher = telvane::IMqttPublisher* (*)(const telvane::TMqttUrl&, const std::string&,
                                                    const std::string&, telvane::TReport);
using TTopicFault = int (*)(const std::string&);
using TMakeFollower = telvane::IMqttFollower* (*)(const telvane::TMqttUrl&, const std::string&,
                                                  const std::string&, telvane::IMqttFollowerSink&,
                                                  telvane::TReport);
}

namespace telvane {
namespace {

struct TMqttPlugin {
    TMakePublisher Make = nullptr;
    TTopicFault Fault = nullptr;
    TMakeFollower Follow = nullptr;
    std::string Problem;
};

const TMqttPlugin& Plugin() {
    static const TMqttPlugin plugin = [] {
        TMqttPlugin loaded;
        const char* file = "libtelvane-mqtt.so";
        const char* variable = "TELVANE_MQTT_PLUGIN";
        loaded.Make = reinterpret_cast<TMakePublisher>(
            PluginEntry(file, variable, "TelvaneMqttPublisher", loaded.Problem));
        loaded.Fault = reinterpret_cast<TTopicFault>(
            PluginEntry(file, variable, "TelvaneMqttTopicFault", loaded.Problem));
        loaded.Follow = reinterpret_cast<TMakeFollower>(
            PluginEntry(file, variable, "TelvaneMqttFollower", loaded.Problem));
        return loaded;
    }();
    return plugin;
}

} // namespace

bool MqttAvailable() {
    return Plugin().Make != nullptr && Plugin().Fault != nullptr && Plugin().Follow != nullptr;
}

std::string MqttProblem() {
    return MqttAvailable() ? std::string() : Plugin().Problem;
}

std::unique_ptr<IMqttPublisher> MakeMqttPublisher(const TMqttUrl& url, const std::string& topic,
                                                  const std::string& hostName, TReport report) {
    if (!MqttAvailable()) {
        return nullptr;
    }
    return std::unique_ptr<IMqttPublisher>(Plugin().Make(url, topic, hostName, std::move(report)));
}

std::unique_ptr<IMqttFollower> MakeMqttFollower(const TMqttUrl& url, const std::string& topic,
                                                const std::string& hostName,
                                                IMqttFollowerSink& sink, TReport report) {
    if (!MqttAvailable()) {
        return nullptr;
    }
    return std::unique_ptr<IMqttFollower>(
        Plugin().Follow(url, topic, hostName, sink, std::move(report)));
}

TMqttTopicFault CheckMqttTopic(const std::string& base) {
    return MqttAvailable() ? static_cast<TMqttTopicFault>(Plugin().Fault(base))
                           : TMqttTopicFault::None;
}

} // namespace telvane
