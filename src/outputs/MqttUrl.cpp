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

// The scheme, which sets TLS and the default port; rest is what follows it.
bool TakeScheme(const std::string& text, TMqttUrl& url, std::string& rest) {
    if (text.rfind("mqtt://", 0) == 0) {
        rest = text.substr(7);
        return true;
    }
    if (text.rfind("mqtts://", 0) == 0) {
        url.Tls = true;
        url.Port = 8883;
        rest = text.substr(8);
        return true;
    }
    return false;
}

// user[:password]@ at the start of rest, if there, taken off it.
bool TakeUserInfo(std::string& rest, TMqttUrl& url) {
    const std::size_t at = rest.rfind('@');
    if (at == std::string::npos) {
        return true;
    }
    const std::string userInfo = rest.substr(0, at);
    const std::size_t colon = userInfo.find(':');
    auto user = Decode(userInfo.substr(0, colon));
    auto password = Decode(colon == std::string::npos ? "" : userInfo.substr(colon + 1));
    if (!user || !password || user->empty()) {
        return false;
    }
    url.User = *user;
    url.Password = *password;
    rest = rest.substr(at + 1);
    return true;
}

// host[:port] or [v6 address][:port]; port is empty when not given.
bool SplitHostAndPort(const std::string& rest, std::string& host, std::string& port) {
    if (rest.empty() || rest[0] != '[') {
        const std::size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        port = colon == std::string::npos ? "" : rest.substr(colon + 1);
        return colon == std::string::npos || !port.empty();
    }
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) {
        return false;
    }
    host = rest.substr(1, close - 1);
    const std::string after = rest.substr(close + 1);
    if (!after.empty() && after[0] != ':') {
        return false;
    }
    port = after.empty() ? "" : after.substr(1);
    return true;
}

// An empty text keeps the scheme's default port.
bool ParsePort(const std::string& text, int& port) {
    if (text.empty()) {
        return true;
    }
    if (text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    port = std::stoi(text);
    return port >= 1 && port <= 65535;
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
    if (!TakeScheme(text, url, rest)) {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    if (rest.find_first_of("/?# \t") != std::string::npos) {
        return std::nullopt;
    }
    std::string port;
    if (!TakeUserInfo(rest, url) || !SplitHostAndPort(rest, url.Host, port) || url.Host.empty() ||
        !ParsePort(port, url.Port)) {
        return std::nullopt;
    }
    return url;
}

std::optional<TFollowUrl> ParseFollowUrl(const std::string& text) {
    // The broker's part ends at the first slash after the scheme's.
    const std::size_t scheme = text.find("://");
    const std::size_t slash =
        scheme == std::string::npos ? std::string::npos : text.find('/', scheme + 3);
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    auto broker = ParseMqttUrl(text.substr(0, slash));
    std::string topic = text.substr(slash + 1);
    while (!topic.empty() && topic.back() == '/') {
        topic.pop_back();
    }
    // A query would be the start of a wildcard-free topic no one meant.
    if (!broker || topic.empty() || topic.find('?') != std::string::npos) {
        return std::nullopt;
    }
    return TFollowUrl{std::move(*broker), std::move(topic)};
}

std::string MqttBaseTopic(const std::string& setting, const std::string& hostName) {
    std::string topic = setting.empty() ? "telvane/" + hostName : setting;
    while (!topic.empty() && topic.back() == '/') {
        topic.pop_back();
    }
    return topic;
}

} // namespace telvane
