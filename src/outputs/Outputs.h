// The outputs a shell hands each call event to: the hook command and MQTT.
// The shell presents (notification, tray); this decides what is sent.
#pragma once

#include "outputs/CallEvent.h"
#include "outputs/HookRunner.h"
#include "outputs/MqttUrl.h"

#include <memory>
#include <string>

namespace telvane {

class IMqttPublisher {
public:
    virtual ~IMqttPublisher() = default;
    virtual void Publish(const TCallEvent& event) = 0;
    // Calls queued while the broker is away (for tests and benchmarks).
    virtual std::size_t Queued() const = 0;
    // Why the broker cannot be used now, as the line reported; empty while
    // connected and before the first attempt ends. Any thread.
    virtual std::string Problem() const = 0;
};

// Whether this build can publish to MQTT at all.
bool MqttAvailable();
// Starts publishing to the broker in its own thread; nothing (and a report)
// when this build has no MQTT.
std::unique_ptr<IMqttPublisher> MakeMqttPublisher(const TMqttUrl& url, const std::string& topic,
                                                  const std::string& hostName, TReport report);

struct TOutputSettings {
    std::string HookCommand;
    std::string HookLog; // the hook's output file
    std::string MqttUrl;
    std::string MqttTopic;
    std::string HostName;
};

class TOutputs {
public:
    // Settings that cannot be used are reported and that output stays off.
    TOutputs(const TOutputSettings& settings, TReport report);

    void Post(const TCallEvent& event);

    THookRunner* Hook() { return Hook_.get(); }
    IMqttPublisher* Mqtt() { return Mqtt_.get(); }

private:
    std::unique_ptr<THookRunner> Hook_;
    std::unique_ptr<IMqttPublisher> Mqtt_;
};

} // namespace telvane
