// One connection to a broker through libmosquitto, on a network thread of
// its own: it connects, runs the connection and after a failure waits 1, 2,
// 4 ... 30 s before the next attempt, for ever. Why it fails is one line,
// said again only after a connection has worked in between, and readable
// from any thread. The library's own thread is not used: it spins on a
// refused TLS connection and ends for good after a TLS error.
//
// The publisher and the follower are made of it: a derived class sets the
// client up between SetUp and Start, and calls Stop first in its destructor.
#pragma once

#include "outputs/HookRunner.h"
#include "outputs/MqttUrl.h"

#include <mosquitto.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace telvane {

// "telvane_" and the host name in characters any broker takes.
std::string MqttDeviceId(const std::string& hostName);

class TMosquittoLink {
public:
    TMosquittoLink(const TMosquittoLink&) = delete;
    TMosquittoLink& operator=(const TMosquittoLink&) = delete;

    // Why the broker cannot be used now, as the line said; empty while
    // connected and before the first attempt ends.
    std::string Problem() const;

protected:
    // prefix starts every line said, e.g. "MQTT".
    TMosquittoLink(const TMqttUrl& url, std::string prefix, TReport report);
    virtual ~TMosquittoLink();

    // Makes the client (clientId, a clean session); false when it cannot be
    // had, which is said. Then the derived class sets it up (a last will,
    // callbacks) and calls Start.
    bool SetUp(const std::string& clientId);
    void Start();
    // Ends the connection and the network thread; Leaving runs first.
    void Stop();

    // On the network thread with Mutex_ held, when the broker has taken the
    // connection.
    virtual void Connected() = 0;
    // On the network thread without a lock, after an attempt failed or the
    // connection was lost, with the line that says why.
    virtual void Failed(const std::string& /*why*/) {}
    // In Stop with Mutex_ held, before the connection ends.
    virtual void Leaving() {}

    const TMqttUrl& Url() const { return Url_; }
    const TReport& Report() const { return Report_; }

    mosquitto* Mosq_ = nullptr;
    mutable std::mutex Mutex_; // before LogMutex_ where both are taken
    bool Connected_ = false;

private:
    bool Fail(const std::string& line);
    void Run();
    bool Wait(std::chrono::milliseconds time);
    std::optional<std::string> Attempt();
    std::optional<std::string> StartConnecting(int& connectErrno);
    std::optional<std::string> ConnectFailure(int socket, int connectErrno);
    std::optional<std::string> RunSession();
    std::string Failure(const std::string& why);
    void Logged(const std::string& text);
    void Answered(int rc);

    const TMqttUrl Url_;
    const std::string Prefix_;
    const TReport Report_;
    int Wake_[2] = {-1, -1}; // written once by Stop
    std::thread Thread_;
    // The network thread's own.
    int Delay_ = 1; // seconds before the next attempt
    std::string Refusal_;
    // The OpenSSL error of this attempt, from the library's log.
    std::mutex LogMutex_;
    std::string TlsError_;
    // Under Mutex_.
    bool Looping_ = false; // the network thread is in or about mosquitto_loop
    std::string Problem_;
    bool Reported_ = false;
    bool Stopping_ = false;
};

} // namespace telvane
