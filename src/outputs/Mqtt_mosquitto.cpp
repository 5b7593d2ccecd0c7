// MQTT through libmosquitto. Its network thread connects, reconnects with a
// growing delay for ever and calls back here; the window thread only queues.
#include "outputs/Outputs.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace telvane {
namespace {

constexpr std::size_t kMaxQueued = 1000;

std::string DeviceId(const std::string& hostName) {
    std::string id = "telvane_";
    for (char c : hostName) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        id += plain ? c : '_';
    }
    return id;
}

class TMosquittoPublisher final : public IMqttPublisher {
public:
    TMosquittoPublisher(const TMqttUrl& url, std::string topic, const std::string& hostName,
                        TReport report)
        : Url_(url), Topic_(std::move(topic)), Id_(DeviceId(hostName)), HostName_(hostName),
          Report_(std::move(report)) {
        static std::once_flag initialised;
        std::call_once(initialised, [] { mosquitto_lib_init(); });
        const std::string client = Id_ + "_" + std::to_string(getpid());
        Mosq_ = mosquitto_new(client.c_str(), true, this);
        if (Mosq_ == nullptr) {
            Report_("MQTT: cannot create a client; MQTT stays off");
            return;
        }
        mosquitto_int_option(Mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        if (!Url_.User.empty()) {
            mosquitto_username_pw_set(Mosq_, Url_.User.c_str(), Url_.Password.c_str());
        }
        if (Url_.Tls) {
            // The system's CA certificates; the host name is checked.
            mosquitto_int_option(Mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            const char* capath =
                std::filesystem::is_directory("/etc/ssl/certs") ? "/etc/ssl/certs" : nullptr;
            if (mosquitto_tls_set(Mosq_, nullptr, capath, nullptr, nullptr, nullptr) !=
                MOSQ_ERR_SUCCESS) {
                Report_("MQTT: TLS cannot be set up; MQTT stays off");
                return;
            }
        }
        const std::string status = Topic_ + "/status";
        mosquitto_will_set(Mosq_, status.c_str(), 7, "offline", 1, true);
        mosquitto_reconnect_delay_set(Mosq_, 1, 30, true);
        mosquitto_connect_callback_set(Mosq_, [](mosquitto*, void* self, int rc) {
            static_cast<TMosquittoPublisher*>(self)->Connected(rc);
        });
        mosquitto_disconnect_callback_set(Mosq_, [](mosquitto*, void* self, int rc) {
            static_cast<TMosquittoPublisher*>(self)->Disconnected(rc);
        });
        // Connecting looks the host up, which may take long: not on the
        // window's thread. The library does not retry a first connection
        // that fails at once, so it is tried here with a growing delay; once
        // under way, the network thread reconnects by itself.
        Starter_ = std::thread([this] {
            for (int delay = 1;; delay = std::min(delay * 2, 30)) {
                errno = 0;
                const int rc = mosquitto_connect_async(Mosq_, Url_.Host.c_str(), Url_.Port, 30);
                std::unique_lock lock(Mutex_);
                if (rc == MOSQ_ERR_SUCCESS) {
                    break;
                }
                ReportOnce("MQTT: cannot reach " + Url_.Redacted() + " (" + Why(rc) +
                           "); trying again");
                if (Stop_.wait_for(lock, std::chrono::seconds(delay),
                                   [this] { return Stopping_; })) {
                    return;
                }
            }
            if (mosquitto_loop_start(Mosq_) != MOSQ_ERR_SUCCESS) {
                Report_("MQTT: cannot start the network thread; MQTT stays off");
            }
        });
    }

    ~TMosquittoPublisher() override {
        if (Mosq_ == nullptr) {
            return;
        }
        {
            std::lock_guard lock(Mutex_);
            Stopping_ = true;
            if (Connected_) {
                // Leaving on purpose: the last will is for when Telvane dies.
                Send("/status", "offline", 0, true);
            }
        }
        Stop_.notify_all();
        if (Starter_.joinable()) {
            Starter_.join();
        }
        mosquitto_disconnect(Mosq_);
        mosquitto_loop_stop(Mosq_, false);
        mosquitto_destroy(Mosq_);
    }

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
                Report_("MQTT: more than " + std::to_string(kMaxQueued) +
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

private:
    static std::string Why(int rc) {
        return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
    }

    void ReportOnce(const std::string& line) {
        if (!Reported_) {
            Reported_ = true;
            Report_(line);
        }
    }

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

    void Connected(int rc) {
        std::lock_guard lock(Mutex_);
        if (rc != 0) {
            ReportOnce("MQTT: " + Url_.Redacted() + " refused the connection (" +
                       mosquitto_connack_string(rc) + "); trying again");
            return;
        }
        if (Reported_) {
            Report_("MQTT: connected to " + Url_.Redacted());
            Reported_ = false;
        }
        Connected_ = true;
        Send("/status", "online", 1, true);
        SendAdapter();
        Discovery();
        LastSent_ = false;
        Flush();
    }

    void Disconnected(int rc) {
        std::lock_guard lock(Mutex_);
        Connected_ = false;
        if (rc != 0 && !Stopping_) {
            ReportOnce("MQTT: lost " + Url_.Redacted() + "; trying again");
        }
    }

    const TMqttUrl Url_;
    const std::string Topic_;
    const std::string Id_;
    const std::string HostName_;
    const TReport Report_;
    mosquitto* Mosq_ = nullptr;
    std::thread Starter_;
    mutable std::mutex Mutex_;
    std::condition_variable Stop_;
    std::deque<std::string> Queue_;
    std::string Last_;
    bool LastSent_ = false;
    bool Connected_ = false;
    bool AdapterUp_ = true;
    bool Reported_ = false;
    bool Dropped_ = false;
    bool Stopping_ = false;
};

} // namespace

bool MqttAvailable() {
    return true;
}

std::unique_ptr<IMqttPublisher> MakeMqttPublisher(const TMqttUrl& url, const std::string& topic,
                                                  const std::string& hostName, TReport report) {
    return std::make_unique<TMosquittoPublisher>(url, topic, hostName, std::move(report));
}

} // namespace telvane
