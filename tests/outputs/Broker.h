// A real mosquitto broker on a free loopback port, and a libmosquitto
// subscriber that keeps every message it gets.
#pragma once

#include "../e2e/Harness.h"

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

namespace telvane::testing {

inline int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

inline bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

class TBroker {
public:
    // With a user, only that user with that password may connect. With tls,
    // a second listener speaks TLS with a certificate of its own for
    // 127.0.0.1 (cert.pem in the folder), made by the openssl program.
    TBroker(const std::filesystem::path& folder, const std::string& user = {},
            const std::string& password = {}, bool tls = false)
        : Folder_(folder), Port_(FreePort()), TlsPort_(tls ? FreePort() : 0) {
        std::filesystem::create_directories(folder);
        std::ofstream conf(folder / "mosquitto.conf");
        // Run as root, mosquitto would switch to a user that cannot read this folder.
        conf << "listener " << Port_ << " 127.0.0.1\npersistence false\nuser "
             << getpwuid(getuid())->pw_name << "\n";
        if (tls) {
            e2e::TChild::TOptions options;
            options.Arguments = {"/bin/sh", "-c",
                                 "cd '" + folder.string() +
                                     "' && openssl req -x509 -newkey ec -pkeyopt "
                                     "ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "
                                     "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 "
                                     "-keyout key.pem -out cert.pem 2>/dev/null"};
            e2e::TChild(options).Wait(e2e::kPatience);
            conf << "listener " << TlsPort_ << " 127.0.0.1\ncertfile " << folder.string()
                 << "/cert.pem\nkeyfile " << folder.string() << "/key.pem\n";
        }
        if (user.empty()) {
            conf << "allow_anonymous true\n";
        } else {
            conf << "allow_anonymous false\npassword_file " << (folder / "passwords").string()
                 << "\n";
            e2e::TChild::TOptions options;
            options.Arguments = {"/usr/bin/mosquitto_passwd",     "-b", "-c",
                                 (folder / "passwords").string(), user, password};
            e2e::TChild make(options);
            make.Wait(e2e::kPatience);
        }
        conf.close();
        Start();
    }

    void Start() {
        e2e::TChild::TOptions options;
        options.Arguments = {"/usr/sbin/mosquitto", "-c", (Folder_ / "mosquitto.conf").string()};
        options.StderrFile = Folder_ / "broker.log";
        Child_ = std::make_unique<e2e::TChild>(options);
        for (int i = 0; i < 400 && !(Accepts(Port_) && (TlsPort_ == 0 || Accepts(TlsPort_))); ++i) {
            usleep(25000);
        }
    }
    void Stop() { Child_.reset(); }
    int Port() const { return Port_; }
    int TlsPort() const { return TlsPort_; }
    // Waits until the broker has turned count clients away for a protocol
    // error (so written, or "Protocol error"), such as a TLS client at a
    // plain listener or one that does not trust the certificate.
    bool WaitForRefusals(std::size_t count) const {
        for (int i = 0; i < 800; ++i, usleep(50000)) {
            const std::string log = ReadFile(Folder_ / "broker.log");
            std::size_t seen = 0;
            for (auto at = log.find("rotocol error"); at != std::string::npos;
                 at = log.find("rotocol error", at + 1)) {
                ++seen;
            }
            if (seen >= count) {
                return true;
            }
        }
        return false;
    }
    std::string Url(const std::string& userInfo = {}) const {
        return "mqtt://" + userInfo + "127.0.0.1:" + std::to_string(Port_);
    }

private:
    std::filesystem::path Folder_;
    int Port_;
    int TlsPort_;
    std::unique_ptr<e2e::TChild> Child_;
};

struct TMessage {
    std::string Topic;
    std::string Payload;
    bool Retained;
};

class TSubscriber {
public:
    explicit TSubscriber(int port, const std::string& user = {}, const std::string& password = {}) {
        mosquitto_lib_init();
        Mosq_ = mosquitto_new(nullptr, true, this);
        if (!user.empty()) {
            mosquitto_username_pw_set(Mosq_, user.c_str(), password.c_str());
        }
        mosquitto_connect_callback_set(Mosq_, [](mosquitto* mosq, void*, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(mosq, nullptr, "#", 1);
            }
        });
        mosquitto_subscribe_callback_set(Mosq_, [](mosquitto*, void* self, int, int, const int*) {
            auto* me = static_cast<TSubscriber*>(self);
            std::lock_guard lock(me->Mutex_);
            me->Subscribed_ = true;
            me->Changed_.notify_all();
        });
        mosquitto_message_callback_set(
            Mosq_, [](mosquitto*, void* self, const mosquitto_message* message) {
                auto* me = static_cast<TSubscriber*>(self);
                std::lock_guard lock(me->Mutex_);
                me->Messages_.push_back({message->topic,
                                         std::string(static_cast<const char*>(message->payload),
                                                     static_cast<std::size_t>(message->payloadlen)),
                                         message->retain});
                me->Changed_.notify_all();
            });
        mosquitto_connect(Mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(Mosq_);
        std::unique_lock lock(Mutex_);
        Changed_.wait_for(lock, e2e::kPatience, [this] { return Subscribed_; });
    }
    ~TSubscriber() {
        mosquitto_disconnect(Mosq_);
        mosquitto_loop_stop(Mosq_, false);
        mosquitto_destroy(Mosq_);
    }

    // The payloads of a topic in the order they came.
    std::vector<std::string> On(const std::string& topic) {
        std::lock_guard lock(Mutex_);
        std::vector<std::string> payloads;
        for (const TMessage& message : Messages_) {
            if (message.Topic == topic) {
                payloads.push_back(message.Payload);
            }
        }
        return payloads;
    }
    std::vector<std::string> Topics() {
        std::lock_guard lock(Mutex_);
        std::vector<std::string> topics;
        for (const TMessage& message : Messages_) {
            topics.push_back(message.Topic);
        }
        return topics;
    }
    std::optional<TMessage> Last(const std::string& topic) {
        std::lock_guard lock(Mutex_);
        for (auto it = Messages_.rbegin(); it != Messages_.rend(); ++it) {
            if (it->Topic == topic) {
                return *it;
            }
        }
        return std::nullopt;
    }
    // Waits until the topic got at least count messages.
    bool WaitFor(const std::string& topic, std::size_t count = 1,
                 e2e::TDuration timeout = e2e::kPatience) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (On(topic).size() < count) {
            std::unique_lock lock(Mutex_);
            if (Changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
                lock.unlock();
                return On(topic).size() >= count;
            }
        }
        return true;
    }

private:
    mosquitto* Mosq_;
    std::mutex Mutex_;
    std::condition_variable Changed_;
    std::vector<TMessage> Messages_;
    bool Subscribed_ = false;
};

} // namespace telvane::testing
