#include "outputs/MqttUrl.h"

#include <cctype>

namespace telvane {
namespace {

std::optional<std::string> Decode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            return std::nullopt;
        }
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

} // namespace

std::string TMqttUrl::Redacted() const {
    std::string text = Tls ? "mqtts://" : "mqtt://";
    if (!User.empty()) {
        text += User + "@";
    }
    const bool v6 = Host.find(':') != std::string::npos;
    return text + (v6 ? "[" + Host + "]" : Host) + ":" + std::to_string(Port);
}

std::optional<TMqttUrl> ParseMqttUrl(const std::string& text) {
    TMqttUrl url;
    std::string rest;
    if (text.rfind("mqtt://", 0) == 0) {
        rest = text.substr(7);
    } else if (text.rfind("mqtts://", 0) == 0) {
        url.Tls = true;
        url.Port = 8883;
        rest = text.substr(8);
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    if (rest.find_first_of("/?# \t") != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        const std::string userInfo = rest.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        auto user = Decode(userInfo.substr(0, colon));
        auto password = Decode(colon == std::string::npos ? "" : userInfo.substr(colon + 1));
        if (!user || !password || user->empty()) {
            return std::nullopt;
        }
        url.User = *user;
        url.Password = *password;
        rest = rest.substr(at + 1);
    }
    std::string port;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos) {
            return std::nullopt;
        }
        url.Host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') {
            return std::nullopt;
        }
        port = rest.empty() ? "" : rest.substr(1);
    } else {
        const std::size_t colon = rest.find(':');
        url.Host = rest.substr(0, colon);
        port = colon == std::string::npos ? "" : rest.substr(colon + 1);
        if (colon != std::string::npos && port.empty()) {
            return std::nullopt;
        }
    }
    if (url.Host.empty()) {
        return std::nullopt;
    }
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        url.Port = std::stoi(port);
        if (url.Port < 1 || url.Port > 65535) {
            return std::nullopt;
        }
    }
    return url;
}

std::string MqttBaseTopic(const std::string& setting, const std::string& hostName) {
    std::string topic = setting.empty() ? "telvane/" + hostName : setting;
    while (!topic.empty() && topic.back() == '/') {
        topic.pop_back();
    }
    return topic;
}

} // namespace telvane
