// The MQTT settings: the MqttUrl, mqtt://[user[:password]@]host[:port] or
// mqtts://..., the MqttTopic, and the Follow address.
#pragma once

#include <optional>
#include <string>

namespace telvane {

struct TMqttUrl {
    bool Tls = false;
    std::string User;
    std::string Password;
    std::string Host;
    int Port = 1883;

    // The address for messages: never the password.
    std::string Redacted() const;
};

// Nothing when the text is not such a URL. %XX in the user and the password
// stands for that byte.
std::optional<TMqttUrl> ParseMqttUrl(const std::string& text);

// The Follow setting: an MQTT address whose path is the base topic of the
// Telvane to follow, e.g. mqtt://broker/telvane/pi.
struct TFollowUrl {
    TMqttUrl Broker;
    std::string Topic; // without a trailing slash; never empty
};

// Nothing when the text is not such an address: the broker's part as
// ParseMqttUrl reads it, then "/" and a topic without "?".
std::optional<TFollowUrl> ParseFollowUrl(const std::string& text);

// The topic under which Telvane publishes: the setting, or "telvane/" and
// the host name; without a trailing slash.
std::string MqttBaseTopic(const std::string& setting, const std::string& hostName);

enum class TMqttTopicFault {
    None,
    Wildcard, // + or #
    NotText,  // not UTF-8, or a control character or NUL
    TooLong,  // in bytes or in levels
};

// Whether MQTT can publish under a base topic: each topic sent under it,
// such as <base>/adapter, must be one MQTT can publish to. Never a fault in
// a build without MQTT.
TMqttTopicFault CheckMqttTopic(const std::string& base);

} // namespace telvane
