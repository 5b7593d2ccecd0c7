// MQTT through libmosquitto, on a network thread of its own: it connects,
// runs the connection and after a failure waits 1, 2, 4 ... 30 s before the
// next attempt, for ever. The window thread only queues. The library's own
// thread is not used: it spins on a refused TLS connection and ends for good
// after a TLS error.
#include "outputs/Outputs.h"

#include <mosquitto.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace telvane {
namespace {

constexpr std::size_t kMaxQueued = 1000;
constexpr int kKeepAliveSeconds = 30;
constexpr int kMaxDelaySeconds = 30;
// For the connection to be made, and then for the broker to answer.
constexpr std::chrono::seconds kAnswerTime(30);

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
        if (SetUp()) {
            Thread_ = std::thread([this] { Run(); });
        }
    }

    ~TMosquittoPublisher() override {
        if (Thread_.joinable()) {
            {
                std::lock_guard lock(Mutex_);
                Stopping_ = true;
                if (Connected_) {
                    // Leaving on purpose: the last will is for when Telvane dies.
                    Send("/status", "offline", 0, true);
                }
                if (Looping_) {
                    // Wakes the network thread in mosquitto_loop.
                    mosquitto_disconnect(Mosq_);
                }
            }
            const char wake = 1;
            if (write(Wake_[1], &wake, 1) != 1) {
                // Cannot happen to an empty pipe; the thread would still end
                // after its current wait.
            }
            Thread_.join();
        }
        if (Mosq_ != nullptr) {
            mosquitto_destroy(Mosq_);
        }
        for (int fd : Wake_) {
            if (fd >= 0) {
                close(fd);
            }
        }
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

    std::string Problem() const override {
        std::lock_guard lock(Mutex_);
        return Problem_;
    }

private:
    bool SetUp() {
        const std::string client = Id_ + "_" + std::to_string(getpid());
        Mosq_ = mosquitto_new(client.c_str(), true, this);
        if (Mosq_ == nullptr) {
            return Fail("MQTT: cannot create a client; MQTT stays off");
        }
        // Other threads publish while this one runs mosquitto_loop.
        mosquitto_threaded_set(Mosq_, true);
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
                return Fail("MQTT: TLS cannot be set up; MQTT stays off");
            }
        }
        const std::string status = Topic_ + "/status";
        mosquitto_will_set(Mosq_, status.c_str(), 7, "offline", 1, true);
        mosquitto_connect_callback_set(Mosq_, [](mosquitto*, void* self, int rc) {
            static_cast<TMosquittoPublisher*>(self)->Connected(rc);
        });
        mosquitto_log_callback_set(Mosq_, [](mosquitto*, void* self, int level, const char* text) {
            if (level == MOSQ_LOG_ERR) {
                static_cast<TMosquittoPublisher*>(self)->Logged(text);
            }
        });
        if (pipe2(Wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
            return Fail(std::string("MQTT: cannot start (") + std::strerror(errno) +
                        "); MQTT stays off");
        }
        return true;
    }

    bool Fail(const std::string& line) {
        std::lock_guard lock(Mutex_);
        Problem_ = line;
        Report_(line);
        return false;
    }

    void Run() {
        for (;; Delay_ = std::min(Delay_ * 2, kMaxDelaySeconds)) {
            const std::optional<std::string> why = Attempt();
            if (!why) {
                return;
            }
            {
                std::lock_guard lock(Mutex_);
                Problem_ = *why;
                // Once, until a connection works again.
                if (!Reported_) {
                    Reported_ = true;
                    Report_(*why);
                }
            }
            if (Wait(std::chrono::seconds(Delay_))) {
                return;
            }
        }
    }

    // Waits for the time or for the destructor; true for the destructor.
    bool Wait(std::chrono::milliseconds time) {
        const auto deadline = std::chrono::steady_clock::now() + time;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd wake{Wake_[0], POLLIN, 0};
            const int ready =
                poll(&wake, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
            if (ready > 0) {
                return true;
            }
            if (ready == 0) {
                return false;
            }
            if (errno != EINTR) {
                std::this_thread::sleep_for(left);
                return false;
            }
        }
    }

    // One connection from its start to its end. Gives why it failed or
    // ended, nothing when the destructor stopped it.
    std::optional<std::string> Attempt() {
        {
            std::lock_guard lock(LogMutex_);
            TlsError_.clear();
        }
        Refusal_.clear();
        int connectErrno = 0;
        if (auto why = StartConnecting(connectErrno)) {
            return why;
        }
        // The connection is waited for here: mosquitto_loop would spin on a
        // TLS connection that is refused.
        pollfd ready[] = {{mosquitto_socket(Mosq_), POLLOUT, 0}, {Wake_[0], POLLIN, 0}};
        if (ready[0].fd < 0) {
            return Failure("no connection");
        }
        int count = 0;
        do {
            count = poll(ready, 2, static_cast<int>(kAnswerTime / std::chrono::milliseconds(1)));
        } while (count < 0 && errno == EINTR);
        if (ready[1].revents != 0) {
            return std::nullopt;
        }
        if (count <= 0) {
            return Failure(std::strerror(count == 0 ? ETIMEDOUT : errno));
        }
        if ((ready[0].revents & (POLLERR | POLLHUP)) != 0) {
            if (auto why = ConnectFailure(ready[0].fd, connectErrno)) {
                return why;
            }
        }
        return RunSession();
    }

    // Looks the host up (blocking) and starts connecting (not blocking).
    // Gives why that failed; connectErrno is the errno it left.
    std::optional<std::string> StartConnecting(int& connectErrno) {
        int rc = MOSQ_ERR_SUCCESS;
        {
            // libmosquitto sets OpenSSL up at the first TLS connection without
            // a lock: publishers start connecting one at a time.
            static std::mutex starting;
            std::lock_guard lock(starting);
            errno = 0;
            rc = mosquitto_connect_async(Mosq_, Url_.Host.c_str(), Url_.Port, kKeepAliveSeconds);
            connectErrno = errno;
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            return Failure(rc == MOSQ_ERR_ERRNO ? std::strerror(connectErrno)
                                                : mosquitto_strerror(rc));
        }
        return std::nullopt;
    }

    // Why a socket that poll reported an error or hang-up on cannot be
    // used. Nothing for a reset: that comes from a broker that took the
    // connection, and the handshake says why.
    std::optional<std::string> ConnectFailure(int socket, int connectErrno) {
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size);
        // The TLS handshake may have met the error first, and taken it.
        if (error == 0 && connectErrno != EINPROGRESS && connectErrno != EAGAIN) {
            error = connectErrno;
        }
        if (error != ECONNRESET) {
            return Failure(error != 0 ? std::strerror(error) : "no connection");
        }
        return std::nullopt;
    }

    // The TLS handshake, the broker's answer, then the session, until it
    // ends or the destructor stops it.
    std::optional<std::string> RunSession() {
        const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
        std::unique_lock lock(Mutex_);
        Looping_ = true;
        while (!Stopping_) {
            lock.unlock();
            errno = 0;
            const int rc = mosquitto_loop(Mosq_, 1000, 1);
            const int loopErrno = errno;
            lock.lock();
            const bool late = !Connected_ && std::chrono::steady_clock::now() > deadline;
            if (Stopping_ || (rc == MOSQ_ERR_SUCCESS && !late)) {
                continue;
            }
            const bool wasUp = Connected_;
            Connected_ = Looping_ = false;
            if (wasUp) {
                return "MQTT: lost " + Url_.Redacted() + "; trying again";
            }
            if (!Refusal_.empty()) {
                return Refusal_;
            }
            return Failure(late                   ? "no answer"
                           : rc == MOSQ_ERR_ERRNO ? std::strerror(loopErrno)
                                                  : mosquitto_strerror(rc));
        }
        return std::nullopt;
    }

    // The line for an attempt that failed: the TLS error in OpenSSL's words
    // where there was one.
    std::string Failure(const std::string& why) {
        std::lock_guard lock(LogMutex_);
        if (!TlsError_.empty()) {
            return "MQTT: " + Url_.Redacted() + ": TLS handshake failed (" + TlsError_ +
                   "); trying again";
        }
        return "MQTT: cannot reach " + Url_.Redacted() + " (" + why + "); trying again";
    }

    // libmosquitto gives OpenSSL's errors only to its log, as
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed".
    void Logged(const std::string& text) {
        if (text.rfind("OpenSSL Error", 0) != 0) {
            return;
        }
        std::lock_guard lock(LogMutex_);
        if (TlsError_.empty()) {
            TlsError_ = text.substr(text.rfind(':') + 1);
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

    // On the network thread, in mosquitto_loop.
    void Connected(int rc) {
        std::lock_guard lock(Mutex_);
        if (rc != 0) {
            Refusal_ = "MQTT: " + Url_.Redacted() + " refused the connection (" +
                       mosquitto_connack_string(rc) + "); trying again";
            return;
        }
        if (Reported_) {
            Report_("MQTT: connected to " + Url_.Redacted());
            Reported_ = false;
        }
        Problem_.clear();
        Delay_ = 1;
        Connected_ = true;
        Send("/status", "online", 1, true);
        SendAdapter();
        Discovery();
        LastSent_ = false;
        Flush();
    }

    const TMqttUrl Url_;
    const std::string Topic_;
    const std::string Id_;
    const std::string HostName_;
    const TReport Report_;
    mosquitto* Mosq_ = nullptr;
    int Wake_[2] = {-1, -1}; // written once by the destructor
    std::thread Thread_;
    // The network thread's own.
    int Delay_ = 1; // seconds before the next attempt
    std::string Refusal_;
    // The OpenSSL error of this attempt, from the library's log.
    std::mutex LogMutex_;
    std::string TlsError_;
    mutable std::mutex Mutex_; // before LogMutex_ where both are taken
    std::deque<std::string> Queue_;
    std::string Last_;
    bool LastSent_ = false;
    bool Connected_ = false;
    bool Looping_ = false; // the network thread is in or about mosquitto_loop
    std::string Problem_;
    bool AdapterUp_ = true;
    bool Reported_ = false;
    bool Dropped_ = false;
    bool Stopping_ = false;
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
