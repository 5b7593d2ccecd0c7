// The MqttUrl setting: mqtt://[user[:password]@]host[:port] or mqtts://...
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

// The topic under which Telvane publishes: the setting, or "telvane/" and
// the host name; without a trailing slash.
std::string MqttBaseTopic(const std::string& setting, const std::string& hostName);

} // namespace telvane
