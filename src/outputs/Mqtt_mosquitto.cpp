// The MQTT publisher: the window thread only queues; the link's network
// thread hands the calls to the broker once it has the connection.
#include "outputs/MqttLink_mosquitto.h"
#include "outputs/Outputs.h"

#include <unistd.h>

#include <deque>

namespace telvane {
namespace {

constexpr std::size_t kMaxQueued = 1000;

class TMosquittoPublisher final : public IMqttPublisher, private TMosquittoLink {
public:
    TMosquittoPublisher(const TMqttUrl& url, std::string topic, const std::string& hostName,
                        TReport report)
        : TMosquittoLink(url, "MQTT", std::move(report)), Topic_(std::move(topic)),
          Id_(MqttDeviceId(hostName)), HostName_(hostName) {
        if (SetUp(Id_ + "_" + std::to_string(getpid()))) {
            const std::string status = Topic_ + "/status";
            mosquitto_will_set(Mosq_, status.c_str(), 7, "offline", 1, true);
            Start();
        }
    }

    ~TMosquittoPublisher() override { Stop(); }

    void Publish(const TCallEvent& event) override {
        std::lock_guard lock(Mutex_);
        if (event.Kind != TEventKind::Call) {
            AdapterUp_ = event.Kind == TEventKind::AdapterUp;
            if (Connected_) {
                SendAdapter();
            }
            return;
        }
        if (Queue_.size() >= kMaxQueued) {
            Queue_.pop_front();
            if (!Dropped_) {
                Dropped_ = true;
                Report()("MQTT: more than " + std::to_string(kMaxQueued) +
                         " calls waiting for the broker; the oldest are dropped");
            }
        }
        Queue_.push_back(CallJson(event));
        if (Connected_) {
            Flush();
        }
    }

    std::size_t Queued() const override {
        std::lock_guard lock(Mutex_);
        return Queue_.size();
    }

    std::string Problem() const override { return TMosquittoLink::Problem(); }

private:
    int Send(const std::string& suffix, const std::string& payload, int qos, bool retain) {
        const std::string topic = Topic_ + suffix;
        return mosquitto_publish(Mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                 payload.data(), qos, retain);
    }
    int SendTo(const std::string& topic, const std::string& payload) {
        return mosquitto_publish(Mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                 payload.data(), 1, true);
    }

    void SendAdapter() { Send("/adapter", AdapterUp_ ? "ok" : "unreachable", 1, true); }

    // Hands the queued calls to the library in order; what it refuses
    // stays queued for the next connection.
    void Flush() {
        while (!Queue_.empty()) {
            if (Send("/call", Queue_.front(), 1, false) != MOSQ_ERR_SUCCESS) {
                return;
            }
            Last_ = std::move(Queue_.front());
            Queue_.pop_front();
            LastSent_ = false;
        }
        Dropped_ = false;
        if (!Last_.empty() && !LastSent_) {
            LastSent_ = Send("/last", Last_, 1, true) == MOSQ_ERR_SUCCESS;
        }
    }

    void Discovery() {
        const std::string device = "\"device\":{\"identifiers\":[" + JsonString(Id_) +
                                   "],\"name\":" + JsonString("Telvane " + HostName_) +
                                   ",\"model\":\"Telvane\",\"manufacturer\":\"Telvane\"}";
        const std::string availability = "\"availability_topic\":" + JsonString(Topic_ + "/status");
        SendTo("homeassistant/sensor/" + Id_ + "/last_caller/config",
               "{\"name\":\"Last caller\",\"unique_id\":" + JsonString(Id_ + "_last_caller") +
                   ",\"state_topic\":" + JsonString(Topic_ + "/last") +
                   ",\"value_template\":\"{{ value_json.display }}\""
                   ",\"json_attributes_topic\":" +
                   JsonString(Topic_ + "/last") + ",\"icon\":\"mdi:phone-incoming\"," +
                   availability + "," + device + "}");
        SendTo("homeassistant/binary_sensor/" + Id_ + "/adapter/config",
               "{\"name\":\"Adapter\",\"unique_id\":" + JsonString(Id_ + "_adapter") +
                   ",\"device_class\":\"connectivity\",\"state_topic\":" +
                   JsonString(Topic_ + "/adapter") +
                   ",\"payload_on\":\"ok\",\"payload_off\":\"unreachable\"," + availability + "," +
                   device + "}");
    }

    void Connected() override {
        Send("/status", "online", 1, true);
        SendAdapter();
        Discovery();
        LastSent_ = false;
        Flush();
    }

    // Leaving on purpose: the last will is for when Telvane dies.
    void Leaving() override { Send("/status", "offline", 0, true); }

    const std::string Topic_;
    const std::string Id_;
    const std::string HostName_;
    // Under Mutex_.
    std::deque<std::string> Queue_;
    std::string Last_;
    bool LastSent_ = false;
    bool AdapterUp_ = true;
    bool Dropped_ = false;
};

} // namespace
} // namespace telvane

// The plugin's entry point; the caller owns what it makes.
extern "C" telvane::IMqttPublisher* TelvaneMqttPublisher(const telvane::TMqttUrl& url,
                                                         const std::string& topic,
                                                         const std::string& hostName,
                                                         telvane::TReport report) {
    return new telvane::TMosquittoPublisher(url, topic, hostName, std::move(report));
}
