// Fuzz target: whatever a broker delivers under a followed Telvane's topics,
// the reader refuses it with one line or gives a message a Telvane could
// have written: every text UTF-8 within its cap, the times in IsoTime's
// form, and a call that reads back the same once written as CallJson. The
// call log line made of it is one line.
//
// Input: byte 0 picks the topic (bits 0-2: call, last, status, adapter or
// another) and the retained flag (bit 3); the rest is the payload.
#include "monitor/CallLog.h"
#include "monitor/ShiftJisUtf8.h"
#include "monitor/Utf8.h"
#include "outputs/FollowedMessage.h"

#include "Require.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace telvane;

void CheckCall(const TCallEvent& call) {
    for (const std::string* text : {&call.Number, &call.Display, &call.Name, &call.Area,
                                    &call.NumberKind, &call.Time, &call.PreviousPoll}) {
        Require(ValidUtf8(*text) == *text, "a text that is not UTF-8");
        Require(text->size() <= kMaxFollowedNumber, "a text past its cap");
    }
    Require(IsIsoTime(call.Time), "a time not in IsoTime's form");
    Require(call.PreviousPoll.empty() || IsIsoTime(call.PreviousPoll),
            "a previous poll not in IsoTime's form");
    TCallEvent again;
    Require(!ReadFollowedCall(CallJson(call), again), "CallJson of a call read is refused");
    Require(CallJson(again) == CallJson(call), "a call changed on its way through CallJson");
    const std::string line = RingLogLine(TimeTextOfIso(call.PreviousPoll), TimeTextOfIso(call.Time),
                                         ShiftJisFromUtf8(call.Number));
    Require(line.find_first_of("\r\n\x1a") == std::string::npos, "a log line that is not one");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const char* const kSuffixes[] = {"/call", "/last", "/status", "/adapter", "/other"};
    const char* suffix = kSuffixes[(data[0] & 7) % 5];
    const std::string payload(reinterpret_cast<const char*>(data) + 1, size - 1);
    int said = 0;
    TFollowedReader reader("base", [&said](const std::string& line) {
        Require(line.find('\n') == std::string::npos, "a refusal of more than one line");
        ++said;
    });
    const auto message = reader.Read(suffix, payload, (data[0] & 8) != 0);
    Require(message.has_value() != (said == 1), "neither read nor refused with one line");
    if (!message) {
        return 0;
    }
    using TTopic = TFollowedMessage::TTopic;
    if (message->Topic == TTopic::Call || message->Topic == TTopic::Last) {
        CheckCall(message->Call);
    } else if (message->Topic == TTopic::Status) {
        Require(payload == (message->Up ? "online" : "offline"), "a status not as written");
    } else {
        Require(payload == (message->Up ? "ok" : "unreachable"), "an adapter state not as written");
    }
    return 0;
}
