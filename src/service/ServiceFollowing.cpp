// The service while it follows another Telvane (the Follow setting) instead
// of polling the adapter: the monitor keeps what it loaded, untouched, so
// that closing saves it as it was.
#include "service/Service.h"

#include "monitor/CallerMonitor.h"
#include "outputs/Outputs.h"

namespace telvane {

void TService::StartFollowing() {
    const bool was = Following();
    Follower_.reset();
    FollowProblem_.clear();
    const auto url = ParseFollowUrl(Settings_.Follow);
    if (Settings_.Follow.empty()) {
    } else if (!url) {
        FollowProblem_ = "Follow: the address is not mqtt://[user[:password]@]host[:port]/topic "
                         "or mqtts://...; the adapter is polled";
    } else if (!MqttAvailable()) {
        FollowProblem_ = "Follow: " + MqttProblem() + "; the adapter is polled";
    } else if (CheckMqttTopic(url->Topic) != TMqttTopicFault::None) {
        FollowProblem_ = "Follow: the topic has + or #, a control character, or is too long; "
                         "the adapter is polled";
    } else {
        TFollower::IHost& host = *this;
        IView& view = *this;
        Follower_ = std::make_unique<TFollower>(
            *url, HostName(), Texts_, host, *Location_, view,
            [&frontEnd = FrontEnd_](const std::string& line) { frontEnd.Report(line); });
    }
    if (!FollowProblem_.empty()) {
        FrontEnd_.Report(FollowProblem_);
    }
    if (Following() != was) {
        FrontEnd_.SetFollowing(Following());
    }
    if (Following()) {
        Monitor_->StopPolling();
        // Nobody on show until the followed Telvane says who called last.
        SetNumberCaption("?");
        FrontEnd_.SetTimeCaption({});
        FollowedLinkChanged();
    } else if (was) {
        AdapterUp_ = Monitor_->AdapterReachable();
        Monitor_->Check();
    }
}

std::string TService::FollowFault(const TAddedSettings& settings) const {
    if (settings.Follow.empty()) {
        return {};
    }
    const auto text = [this](const char* context, const char* source) {
        return Texts_.Text(context, source);
    };
    const auto url = ParseFollowUrl(settings.Follow);
    if (!url) {
        return text(TELVANE_TRANSLATE_NOOP(
            "telvane::TSettingsDialog",
            "追従する Telvane は mqtt://[ユーザー[:パスワード]@]ホスト[:ポート]/トピック "
            "または mqtts://... の形で入力してください。"));
    }
    if (!MqttAvailable()) {
        return text(TELVANE_TRANSLATE_NOOP("telvane::TSettingsDialog",
                                           "この Telvane は MQTT に対応していません。"));
    }
    if (CheckMqttTopic(url->Topic) != TMqttTopicFault::None) {
        return text(TELVANE_TRANSLATE_NOOP(
            "telvane::TSettingsDialog",
            "追従する Telvane のトピックに + と # と制御文字は使えず、長すぎてもいけません。"));
    }
    return {};
}

TCallerDescription TService::DescribeShown(const std::string& callerText) const {
    TCallerDescription caller = Describe(callerText);
    if (Following() && callerText == Follower_->Caller()) {
        return FollowedDescription(std::move(caller), Follower_->Call());
    }
    return caller;
}

void TService::ShowFollowedCall(const TCallEvent& call, bool quietly) {
    const std::string& number = Follower_->Caller();
    TCallShown shown =
        ShownCall(DescribeShown(number), number, TimeTextOfIso(call.Time), Settings_.Notify);
    shown.Event.Time = call.Time;
    shown.Event.PreviousPoll = call.PreviousPoll;
    LastCaller_ = shown.TrayCaller;
    SetNumberCaption(number);
    FrontEnd_.SetTimeCaption(shown.TimeText);
    if (quietly) {
        return;
    }
    RestoreApplication();
    // The hook only: published again, the call would echo back here.
    if (THookRunner* hook = Outputs_->Hook()) {
        hook->Post(shown.Event);
    }
    TellCall(shown);
}

void TService::FollowedLinkChanged() {
    AdapterUp_ = Follower_->Up();
    FrontEnd_.SetStatusCaption(Follower_->Caption());
    ShowTray();
}

} // namespace telvane
