#include "outputs/MqttLink_mosquitto.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace telvane {
namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kMaxDelaySeconds = 30;
// For the connection to be made, and then for the broker to answer.
constexpr std::chrono::seconds kAnswerTime(30);

} // namespace

std::string MqttDeviceId(const std::string& hostName) {
    std::string id = "telvane_";
    for (char c : hostName) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        id += plain ? c : '_';
    }
    return id;
}

TMosquittoLink::TMosquittoLink(const TMqttUrl& url, std::string prefix, TReport report)
    : Url_(url), Prefix_(std::move(prefix)), Report_(std::move(report)) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
}

TMosquittoLink::~TMosquittoLink() {
    Stop();
    if (Mosq_ != nullptr) {
        mosquitto_destroy(Mosq_);
    }
    for (int fd : Wake_) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::string TMosquittoLink::Problem() const {
    std::lock_guard lock(Mutex_);
    return Problem_;
}

bool TMosquittoLink::SetUp(const std::string& clientId) {
    Mosq_ = mosquitto_new(clientId.c_str(), true, this);
    if (Mosq_ == nullptr) {
        return Fail(Prefix_ + ": cannot create a client; MQTT stays off");
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
            return Fail(Prefix_ + ": TLS cannot be set up; MQTT stays off");
        }
    }
    mosquitto_connect_callback_set(Mosq_, [](mosquitto*, void* self, int rc) {
        static_cast<TMosquittoLink*>(self)->Answered(rc);
    });
    mosquitto_log_callback_set(Mosq_, [](mosquitto*, void* self, int level, const char* text) {
        if (level == MOSQ_LOG_ERR) {
            static_cast<TMosquittoLink*>(self)->Logged(text);
        }
    });
    if (pipe2(Wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Fail(Prefix_ + ": cannot start (" + std::strerror(errno) + "); MQTT stays off");
    }
    return true;
}

void TMosquittoLink::Start() {
    Thread_ = std::thread([this] { Run(); });
}

void TMosquittoLink::Stop() {
    if (!Thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(Mutex_);
        Stopping_ = true;
        if (Connected_) {
            Leaving();
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

bool TMosquittoLink::Fail(const std::string& line) {
    std::lock_guard lock(Mutex_);
    Problem_ = line;
    Report_(line);
    return false;
}

void TMosquittoLink::Run() {
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
        Failed(*why);
        if (Wait(std::chrono::seconds(Delay_))) {
            return;
        }
    }
}

// Waits for the time or for Stop; true for Stop.
bool TMosquittoLink::Wait(std::chrono::milliseconds time) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd wake{Wake_[0], POLLIN, 0};
        const int ready = poll(&wake, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
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

// One connection from its start to its end. Gives why it failed or ended,
// nothing when Stop stopped it.
std::optional<std::string> TMosquittoLink::Attempt() {
    {
        std::lock_guard lock(LogMutex_);
        TlsError_.clear();
    }
    Refusal_.clear();
    int connectErrno = 0;
    if (auto why = StartConnecting(connectErrno)) {
        return why;
    }
    // The connection is waited for here: mosquitto_loop would spin on a TLS
    // connection that is refused.
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

// Looks the host up (blocking) and starts connecting (not blocking). Gives
// why that failed; connectErrno is the errno it left.
std::optional<std::string> TMosquittoLink::StartConnecting(int& connectErrno) {
    int rc = MOSQ_ERR_SUCCESS;
    {
        // libmosquitto sets OpenSSL up at the first TLS connection without a
        // lock: the connections of the process start one at a time.
        static std::mutex starting;
        std::lock_guard lock(starting);
        errno = 0;
        rc = mosquitto_connect_async(Mosq_, Url_.Host.c_str(), Url_.Port, kKeepAliveSeconds);
        connectErrno = errno;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        return Failure(rc == MOSQ_ERR_ERRNO ? std::strerror(connectErrno) : mosquitto_strerror(rc));
    }
    return std::nullopt;
}

// Why a socket that poll reported an error or hang-up on cannot be used.
// Nothing for a reset: that comes from a broker that took the connection,
// and the handshake says why.
std::optional<std::string> TMosquittoLink::ConnectFailure(int socket, int connectErrno) {
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

// The TLS handshake, the broker's answer, then the session, until it ends or
// Stop stops it.
std::optional<std::string> TMosquittoLink::RunSession() {
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
            return Prefix_ + ": lost " + Url_.Redacted() + "; trying again";
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
std::string TMosquittoLink::Failure(const std::string& why) {
    std::lock_guard lock(LogMutex_);
    if (!TlsError_.empty()) {
        return Prefix_ + ": " + Url_.Redacted() + ": TLS handshake failed (" + TlsError_ +
               "); trying again";
    }
    return Prefix_ + ": cannot reach " + Url_.Redacted() + " (" + why + "); trying again";
}

// libmosquitto gives OpenSSL's errors only to its log, as
// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed".
void TMosquittoLink::Logged(const std::string& text) {
    if (text.rfind("OpenSSL Error", 0) != 0) {
        return;
    }
    std::lock_guard lock(LogMutex_);
    if (TlsError_.empty()) {
        TlsError_ = text.substr(text.rfind(':') + 1);
    }
}

// On the network thread, in mosquitto_loop: the broker's answer.
void TMosquittoLink::Answered(int rc) {
    std::lock_guard lock(Mutex_);
    if (rc != 0) {
        Refusal_ = Prefix_ + ": " + Url_.Redacted() + " refused the connection (" +
                   mosquitto_connack_string(rc) + "); trying again";
        return;
    }
    if (Reported_) {
        Report_(Prefix_ + ": connected to " + Url_.Redacted());
        Reported_ = false;
    }
    Problem_.clear();
    Delay_ = 1;
    Connected_ = true;
    Connected();
}

} // namespace telvane
