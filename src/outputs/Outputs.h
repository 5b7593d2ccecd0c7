// The outputs a shell hands each call event to: the hook command and MQTT.
// The shell presents (notification, tray); this decides what is sent.
#pragma once

#include "outputs/CallEvent.h"
#include "outputs/HookRunner.h"
#include "outputs/MqttUrl.h"

#include <memory>
#include <string>
#include <vector>

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
// Why not, in plain words (e.g. its plugin is missing); empty when it can.
std::string MqttProblem();
// Starts publishing to the broker in its own thread; nothing when this
// build has no MQTT. The topic is one CheckMqttTopic finds no fault with.
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
    // What keeps an output from working now, one line each as reported;
    // empty when all is well. Any thread.
    std::vector<std::string> Problems() const;

    THookRunner* Hook() { return Hook_.get(); }
    IMqttPublisher* Mqtt() { return Mqtt_.get(); }

private:
    std::vector<std::string> Unusable_; // settings that cannot be used
    std::unique_ptr<THookRunner> Hook_;
    std::unique_ptr<IMqttPublisher> Mqtt_;
};

} // namespace telvane
