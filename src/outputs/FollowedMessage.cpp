#include "outputs/FollowedMessage.h"

#include "monitor/Utf8.h"

namespace telvane {
namespace {

constexpr char kIsoPattern[] = "dddd-dd-ddTdd:dd:dd+dd:dd";

bool InRange(std::string_view text, std::size_t at, int least, int most) {
    const int value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return value >= least && value <= most;
}

TFollowedRefusal Refusal(TFollowedFault fault, const char* field = "") {
    return {fault, field};
}

} // namespace

std::string RefusalText(const TFollowedRefusal& refusal) {
    const std::string field = std::string("field \"") + refusal.Field + "\" ";
    switch (refusal.Fault) {
    case TFollowedFault::TooLarge:
        return "larger than " + std::to_string(kMaxFollowedPayload / 1024) + " KiB";
    case TFollowedFault::NotUtf8:
        return "not UTF-8";
    case TFollowedFault::NotJson:
        return "not JSON";
    case TFollowedFault::NotObject:
        return "not a JSON object";
    case TFollowedFault::MissingField:
        return field + "missing";
    case TFollowedFault::NotText:
        return field + "not a string";
    case TFollowedFault::TooLong:
        return field + "too long";
    case TFollowedFault::BadTime:
        return field + "not as 2026-12-07T09:57:00+09:00";
    case TFollowedFault::BadStatus:
        return "neither online nor offline";
    case TFollowedFault::BadAdapter:
        return "neither ok nor unreachable";
    case TFollowedFault::UnknownTopic:
        return "not a topic Telvane publishes";
    case TFollowedFault::None:
        break;
    }
    return {};
}

bool IsIsoTime(std::string_view text) {
    if (text.size() != sizeof kIsoPattern - 1) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char want = kIsoPattern[i];
        const bool fits = want == 'd'   ? text[i] >= '0' && text[i] <= '9'
                          : want == '+' ? text[i] == '+' || text[i] == '-'
                                        : text[i] == want;
        if (!fits) {
            return false;
        }
    }
    // Month, day, hour, minute, second (a leap one too), the offset's parts.
    return InRange(text, 5, 1, 12) && InRange(text, 8, 1, 31) && InRange(text, 11, 0, 23) &&
           InRange(text, 14, 0, 59) && InRange(text, 17, 0, 60) && InRange(text, 20, 0, 23) &&
           InRange(text, 23, 0, 59);
}

std::string TimeTextOfIso(const std::string& iso) {
    if (iso.size() < 19) {
        return {};
    }
    std::string text = iso.substr(0, 19);
    text[4] = text[7] = '/';
    text[10] = ' ';
    return text;
}

TFollowedReader::TFollowedReader(std::string baseTopic, TReport report)
    : BaseTopic_(std::move(baseTopic)), Report_(std::move(report)) {}

TFollowedRefusal TFollowedReader::Check(std::string_view suffix, std::string_view payload,
                                        TFollowedMessage& message) const {
    using TTopic = TFollowedMessage::TTopic;
    if (suffix == "/call" || suffix == "/last") {
        message.Topic = suffix == "/call" ? TTopic::Call : TTopic::Last;
        return ReadFollowedCall(payload, message.Call);
    }
    if (suffix == "/status") {
        message.Topic = TTopic::Status;
        message.Up = payload == "online";
        return Refusal(message.Up || payload == "offline" ? TFollowedFault::None
                                                          : TFollowedFault::BadStatus);
    }
    if (suffix == "/adapter") {
        message.Topic = TTopic::Adapter;
        message.Up = payload == "ok";
        return Refusal(message.Up || payload == "unreachable" ? TFollowedFault::None
                                                              : TFollowedFault::BadAdapter);
    }
    return Refusal(TFollowedFault::UnknownTopic);
}

std::optional<TFollowedMessage> TFollowedReader::Read(std::string_view suffix,
                                                      std::string_view payload, bool retained) {
    TFollowedMessage message;
    message.Retained = retained;
    const TFollowedRefusal refusal = Check(suffix, payload, message);
    if (!refusal) {
        Told_ = 0;
        return message;
    }
    const std::uint32_t bit = 1u << static_cast<unsigned>(refusal.Fault);
    if ((Told_ & bit) == 0) {
        Told_ |= bit;
        // The suffix is the broker's; a topic Telvane never uses is cut short.
        Report_("Follow: refused a message on " + BaseTopic_ + ValidUtf8(suffix.substr(0, 64)) +
                " (" + RefusalText(refusal) + ")");
    }
    return std::nullopt;
}

} // namespace telvane
