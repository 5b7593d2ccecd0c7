#include "service/Follower.h"

#include "monitor/ShiftJisUtf8.h"

namespace telvane {

TFollower::TFollower(const TFollowUrl& url, const std::string& hostName, const TTexts& texts,
                     IHost& host, IProgramLocation& location, IView& view, TReport report)
    : Texts_(texts), Host_(host), View_(view), Log_(location, view), Reader_(url.Topic, report) {
    Link_ = MakeMqttFollower(url.Broker, url.Topic, hostName, *this, std::move(report));
}

TFollower::~TFollower() = default;

std::string TFollower::Problem() const {
    return Link_ ? Link_->Problem() : std::string();
}

std::size_t TFollower::FlushLog() {
    Log_.Flush();
    return Log_.Pending();
}

// ---- The network thread ----

void TFollower::Message(const std::string& suffix, const std::string& payload, bool retained) {
    // Read here, so that a flood of junk never reaches the window's thread.
    if (auto message = Reader_.Read(suffix, payload, retained)) {
        Host_.PostToWindow([this, alive = std::weak_ptr<bool>(Alive_), message = *message] {
            if (alive.lock()) {
                Take(message);
            }
        });
    }
}

void TFollower::Link(const std::string& problem) {
    Host_.PostToWindow([this, alive = std::weak_ptr<bool>(Alive_), problem] {
        if (!alive.lock()) {
            return;
        }
        Connected_ = problem.empty();
        Failing_ = !Connected_;
        // What the followed Telvane says comes again with the subscription.
        Online_.reset();
        AdapterOk_.reset();
        Host_.FollowedLinkChanged();
    });
}

// ---- The window's thread ----

void TFollower::Take(const TFollowedMessage& message) {
    using TTopic = TFollowedMessage::TTopic;
    switch (message.Topic) {
    case TTopic::Call:
        // The followed Telvane never retains a call: one kept there is not new.
        if (!message.Retained) {
            TakeCall(message.Call, false);
        }
        break;
    case TTopic::Last:
        if (message.Retained) {
            TakeCall(message.Call, true);
        }
        break;
    case TTopic::Status:
        Online_ = message.Up;
        Host_.FollowedLinkChanged();
        break;
    case TTopic::Adapter:
        AdapterOk_ = message.Up;
        Host_.FollowedLinkChanged();
        break;
    }
}

void TFollower::TakeCall(const TCallEvent& call, bool quietly) {
    if (Seen_ && call.Number == Call_.Number && call.Time == Call_.Time) {
        return;
    }
    Seen_ = true;
    Call_ = call;
    Caller_ = ShiftJisFromUtf8(call.Number);
    if (!quietly && View_.LogRingChecked()) {
        // The very line the followed Telvane wrote: its times, the adapter's bytes.
        Log_.Add(TimeTextOfIso(call.PreviousPoll), TimeTextOfIso(call.Time), Caller_);
    } else {
        Log_.Flush();
    }
    Host_.ShowFollowedCall(call, quietly);
}

std::string TFollower::Caption() const {
    const auto text = [this](const char* context, const char* source) {
        return Texts_.Text(context, source);
    };
    if (Failing_) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TFollower", "接続不可"));
    }
    if (!Connected_) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TFollower", "接続中"));
    }
    if (!Online_) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TFollower", "相手待ち"));
    }
    if (!*Online_) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TFollower", "相手停止"));
    }
    if (AdapterOk_ == false) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TFollower", "相手検出不可"));
    }
    return text(TELVANE_TRANSLATE_NOOP("telvane::TFollower", "追従中"));
}

bool TFollower::Up() const {
    return Connected_ && Online_.value_or(false) && AdapterOk_.value_or(true);
}

TCallerDescription FollowedDescription(TCallerDescription local, const TCallEvent& call) {
    if (local.Name.empty()) {
        local.Name = call.Name;
    }
    if (!call.Area.empty()) {
        local.Area = call.Area;
    }
    return local;
}

} // namespace telvane
