// Following another Telvane over MQTT: a subscriber to the topics it
// publishes under its base topic, on a network thread of its own, which
// connects and tries again as the publisher does.
#pragma once

#include "outputs/HookRunner.h"
#include "outputs/MqttUrl.h"

#include <memory>
#include <string>

namespace telvane {

// What the follower hears, on its network thread. It must not call the
// follower back, and outlives it.
class IMqttFollowerSink {
public:
    virtual ~IMqttFollowerSink() = default;
    // A message on <base>/call, /last, /status or /adapter; suffix is the
    // part after the base, e.g. "/call". retained: the broker kept it from
    // before this subscription.
    virtual void Message(const std::string& suffix, const std::string& payload, bool retained) = 0;
    // The connection to the broker was made (problem empty), or an attempt
    // failed or the connection was lost (problem: the line that says why).
    virtual void Link(const std::string& problem) = 0;
};

class IMqttFollower {
public:
    virtual ~IMqttFollower() = default;
    // Why the broker cannot be used now, as the line said; empty while
    // connected and before the first attempt ends. Any thread.
    virtual std::string Problem() const = 0;
};

// Starts following the base topic (a clean session, QoS 1); nothing when
// this build has no MQTT. The topic is one CheckMqttTopic finds no fault with.
std::unique_ptr<IMqttFollower> MakeMqttFollower(const TMqttUrl& url, const std::string& topic,
                                                const std::string& hostName,
                                                IMqttFollowerSink& sink, TReport report);

} // namespace telvane
