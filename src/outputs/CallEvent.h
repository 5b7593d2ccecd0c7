// What the outputs are told about: a new caller or a change of the adapter's
// reachability, with every text already in UTF-8. The shell fills the
// caller's display form, name, area and kind from what it knows of numbers.
#pragma once

#include <string>

namespace telvane {

enum class TEventKind { Call, AdapterDown, AdapterUp };

struct TCallEvent {
    TEventKind Kind = TEventKind::Call;
    std::string Number; // as the monitor extracted it
    std::string Display;
    std::string Name;
    std::string Area;
    std::string NumberKind; // e.g. "mobile", "fixed"; empty when unknown
    std::string Time;       // ISO 8601 with offset
    std::string PreviousPoll;
};

// "call", "adapter-down" or "adapter-up".
const char* EventName(TEventKind kind);

// A local TimeText "yyyy/mm/dd hh:nn:ss" as ISO 8601 with the local offset,
// e.g. "2026-12-07T09:57:00+09:00"; empty for anything else (the first poll
// has no earlier one).
std::string IsoTime(const std::string& timeText);
// The current local time in that form.
std::string IsoNow();

// The call as one flat JSON object: number, display, name, area, kind, time,
// previous_poll. Bytes that are not UTF-8 become U+FFFD.
std::string CallJson(const TCallEvent& event);
// A JSON string literal, quotes included.
std::string JsonString(const std::string& text);

} // namespace telvane
