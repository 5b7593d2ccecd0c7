// Following another Telvane over MQTT instead of polling the adapter (the
// Follow setting). What it publishes is read and checked on the follower's
// network thread; the window's thread decides what is new, writes the call
// log and has the service show it.
//
// No replay: a call is new only when it arrives live on <base>/call and
// differs (number and time) from the last one seen, since QoS 1 may deliver
// one twice. The retained <base>/last that comes with each subscription
// (at the start, after an outage) is only compared with the last one seen:
// a different one is shown quietly, without a notification, the hook or a
// log line. A live <base>/last merely repeats the call.
#pragma once

#include "monitor/ProgramLocation.h"
#include "monitor/RingLogWriter.h"
#include "monitor/View.h"
#include "outputs/FollowedMessage.h"
#include "outputs/MqttFollower.h"
#include "service/CallerDescription.h"
#include "service/Texts.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace telvane {

class TFollower final : private IMqttFollowerSink {
public:
    // What the follower asks of the service.
    class IHost {
    public:
        virtual ~IHost() = default;
        // Any thread: runs the task on the window's thread while the
        // service is there.
        virtual void PostToWindow(std::function<void()> task) = 0;
        // A call to show: quietly only on the labels, else also notified
        // and told to the hook (the log line is already written).
        virtual void ShowFollowedCall(const TCallEvent& call, bool quietly) = 0;
        // The state of the link to the followed Telvane changed.
        virtual void FollowedLinkChanged() = 0;
    };

    // view: whether the log box is checked, and where a log outage is told.
    TFollower(const TFollowUrl& url, const std::string& hostName, const TTexts& texts, IHost& host,
              IProgramLocation& location, IView& view, TReport report);
    ~TFollower() override;

    // The caller on show (Shift_JIS, as the monitor would hold it), empty
    // before the first; and what the followed Telvane said of it.
    const std::string& Caller() const { return Caller_; }
    const TCallEvent& Call() const { return Call_; }
    // The status caption, and whether all is well from here to the adapter.
    std::string Caption() const;
    bool Up() const;
    // Why the broker cannot be used now; empty while connected.
    std::string Problem() const;
    // Writes the log lines waiting for the file; how many still wait.
    std::size_t FlushLog();

private:
    // IMqttFollowerSink, on the network thread.
    void Message(const std::string& suffix, const std::string& payload, bool retained) override;
    void Link(const std::string& problem) override;

    void Take(const TFollowedMessage& message);
    void TakeCall(const TCallEvent& call, bool quietly);

    const TTexts& Texts_;
    IHost& Host_;
    IView& View_;
    TRingLogWriter Log_;
    TFollowedReader Reader_; // the network thread's
    std::shared_ptr<bool> Alive_ = std::make_shared<bool>(true);
    // The window thread's.
    bool Seen_ = false; // a call, so that the next one can be told from it
    std::string Caller_;
    TCallEvent Call_;
    bool Connected_ = false;
    bool Failing_ = false;
    std::optional<bool> Online_;
    std::optional<bool> AdapterOk_;
    // Last: started once the rest is in place, stopped first.
    std::unique_ptr<IMqttFollower> Link_;
};

// What the window says of a followed caller: the local reading of the
// number, the local phonebook's name where it knows the number, else the
// name from the message, and the area from the message where it has one.
TCallerDescription FollowedDescription(TCallerDescription local, const TCallEvent& call);

} // namespace telvane
