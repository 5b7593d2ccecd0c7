// The follower of the MQTT plugin: subscribes whenever the link has a
// connection, and hands on what comes.
#include "outputs/MqttFollower.h"
#include "outputs/MqttLink_mosquitto.h"

#include <unistd.h>

namespace telvane {
namespace {

class TMosquittoFollower final : public IMqttFollower, private TMosquittoLink {
public:
    TMosquittoFollower(const TMqttUrl& url, std::string topic, const std::string& hostName,
                       IMqttFollowerSink& sink, TReport report)
        : TMosquittoLink(url, "Follow", std::move(report)), Topic_(std::move(topic)), Sink_(sink) {
        if (SetUp(MqttDeviceId(hostName) + "_follow_" + std::to_string(getpid()))) {
            mosquitto_message_callback_set(
                Mosq_, [](mosquitto*, void* self, const mosquitto_message* message) {
                    static_cast<TMosquittoFollower*>(static_cast<TMosquittoLink*>(self))
                        ->Arrived(*message);
                });
            Start();
        }
    }

    ~TMosquittoFollower() override { Stop(); }

    std::string Problem() const override { return TMosquittoLink::Problem(); }

private:
    void Connected() override {
        // One request for all four, so that the broker takes them at once.
        const std::string topics[] = {Topic_ + "/call", Topic_ + "/last", Topic_ + "/status",
                                      Topic_ + "/adapter"};
        char* const names[] = {
            const_cast<char*>(topics[0].c_str()), const_cast<char*>(topics[1].c_str()),
            const_cast<char*>(topics[2].c_str()), const_cast<char*>(topics[3].c_str())};
        mosquitto_subscribe_multiple(Mosq_, nullptr, 4, names, 1, 0, nullptr);
        Sink_.Link({});
    }

    void Failed(const std::string& why) override { Sink_.Link(why); }

    // On the network thread, in mosquitto_loop.
    void Arrived(const mosquitto_message& message) {
        const std::string topic = message.topic != nullptr ? message.topic : "";
        if (topic.size() <= Topic_.size() || topic.compare(0, Topic_.size(), Topic_) != 0) {
            return;
        }
        const auto* bytes = static_cast<const char*>(message.payload);
        Sink_.Message(topic.substr(Topic_.size()),
                      std::string(bytes, bytes == nullptr ? 0 : std::size_t(message.payloadlen)),
                      message.retain);
    }

    const std::string Topic_;
    IMqttFollowerSink& Sink_;
};

} // namespace
} // namespace telvane

// The plugin's entry point; the caller owns what it makes.
extern "C" telvane::IMqttFollower* TelvaneMqttFollower(const telvane::TMqttUrl& url,
                                                       const std::string& topic,
                                                       const std::string& hostName,
                                                       telvane::IMqttFollowerSink& sink,
                                                       telvane::TReport report) {
    return new telvane::TMosquittoFollower(url, topic, hostName, sink, std::move(report));
}
