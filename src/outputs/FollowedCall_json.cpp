// The one file that parses JSON: nlohmann's header is heavy to compile.
#include "outputs/FollowedMessage.h"

#include "monitor/CallerNumber.h"
#include "monitor/ShiftJisUtf8.h"
#include "monitor/Utf8.h"

#include <nlohmann/json.hpp>

namespace telvane {
namespace {

TFollowedRefusal Refusal(TFollowedFault fault, const char* field = "") {
    return {fault, field};
}

// The string field, or why it cannot be had.
TFollowedRefusal TakeText(const nlohmann::json& object, const char* field, std::size_t most,
                          std::string& out) {
    const auto it = object.find(field);
    if (it == object.end()) {
        return Refusal(TFollowedFault::MissingField, field);
    }
    if (!it->is_string()) {
        return Refusal(TFollowedFault::NotText, field);
    }
    out = it->get_ref<const std::string&>();
    return Refusal(out.size() > most ? TFollowedFault::TooLong : TFollowedFault::None, field);
}

TFollowedRefusal TakeFields(const nlohmann::json& object, TCallEvent& call) {
    const struct {
        const char* Name;
        std::string TCallEvent::*Member;
        std::size_t Most;
    } fields[] = {
        {"number", &TCallEvent::Number, kMaxFollowedNumber},
        {"display", &TCallEvent::Display, kMaxFollowedNumber},
        {"name", &TCallEvent::Name, kMaxFollowedText},
        {"area", &TCallEvent::Area, kMaxFollowedText},
        {"kind", &TCallEvent::NumberKind, kMaxFollowedText},
        {"time", &TCallEvent::Time, kMaxFollowedText},
        {"previous_poll", &TCallEvent::PreviousPoll, kMaxFollowedText},
    };
    for (const auto& field : fields) {
        if (const auto refusal = TakeText(object, field.Name, field.Most, call.*field.Member)) {
            return refusal;
        }
    }
    // The log line holds the adapter's bytes, which the monitor caps.
    if (ShiftJisFromUtf8(call.Number).size() > kMaxCallerNumberLength) {
        return Refusal(TFollowedFault::TooLong, "number");
    }
    if (!IsIsoTime(call.Time)) {
        return Refusal(TFollowedFault::BadTime, "time");
    }
    if (!call.PreviousPoll.empty() && !IsIsoTime(call.PreviousPoll)) {
        return Refusal(TFollowedFault::BadTime, "previous_poll");
    }
    return {};
}

} // namespace

TFollowedRefusal ReadFollowedCall(std::string_view payload, TCallEvent& call) {
    if (payload.size() > kMaxFollowedPayload) {
        return Refusal(TFollowedFault::TooLarge);
    }
    if (ValidUtf8(payload) != payload) {
        return Refusal(TFollowedFault::NotUtf8);
    }
    const nlohmann::json object = nlohmann::json::parse(payload, nullptr, false);
    if (object.is_discarded()) {
        return Refusal(TFollowedFault::NotJson);
    }
    if (!object.is_object()) {
        return Refusal(TFollowedFault::NotObject);
    }
    call = TCallEvent{};
    return TakeFields(object, call);
}

} // namespace telvane
