// What a followed Telvane publishes under its base topic, as a following one
// reads it. Anyone who may publish to the broker can send anything there, so
// every message is checked whole and refused unless it is exactly what a
// Telvane writes.
#pragma once

#include "outputs/CallEvent.h"
#include "outputs/HookRunner.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace telvane {

// A call message is far smaller: the number is at most 1000 Shift_JIS bytes.
inline constexpr std::size_t kMaxFollowedPayload = 16 * 1024;
// In UTF-8 bytes: the number and the display, each at most 1000 Shift_JIS
// bytes of three UTF-8 bytes each; the name, the area and the kind.
inline constexpr std::size_t kMaxFollowedNumber = 3000;
inline constexpr std::size_t kMaxFollowedText = 1000;

enum class TFollowedFault {
    None,
    TooLarge,
    NotUtf8,
    NotJson,
    NotObject,
    MissingField,
    NotText,
    TooLong,
    BadTime,
    BadStatus,
    BadAdapter,
    UnknownTopic,
};

struct TFollowedRefusal {
    TFollowedFault Fault = TFollowedFault::None;
    const char* Field = ""; // the field at fault, if one is

    explicit operator bool() const { return Fault != TFollowedFault::None; }
};

// The fault in words, e.g. `field "time" is not as 2026-12-07T09:57:00+09:00`.
std::string RefusalText(const TFollowedRefusal& refusal);

// A call message, the JSON object CallJson writes, into call (Kind Call).
// Fields beyond those CallJson writes are let be.
TFollowedRefusal ReadFollowedCall(std::string_view payload, TCallEvent& call);

// Exactly the form IsoTime writes, "2026-12-07T09:57:00+09:00".
bool IsIsoTime(std::string_view text);
// Its local date and time as the window shows them, "2026/12/07 09:57:00";
// empty for an empty text.
std::string TimeTextOfIso(const std::string& iso);

struct TFollowedMessage {
    enum class TTopic { Call, Last, Status, Adapter };
    TTopic Topic = TTopic::Call;
    bool Retained = false;
    TCallEvent Call; // of Call and Last
    bool Up = false; // Status "online", Adapter "ok"
};

// Reads the messages of one followed Telvane on the follower's thread. A
// refusal is one line through report, said once for each kind of fault until
// a message is read again, so that a flood cannot flood the log.
class TFollowedReader {
public:
    TFollowedReader(std::string baseTopic, TReport report);

    // suffix: the topic after the base, e.g. "/call".
    std::optional<TFollowedMessage> Read(std::string_view suffix, std::string_view payload,
                                         bool retained);

private:
    TFollowedRefusal Check(std::string_view suffix, std::string_view payload,
                           TFollowedMessage& message) const;

    const std::string BaseTopic_;
    const TReport Report_;
    std::uint32_t Told_ = 0; // a bit for each fault said since the last good message
};

} // namespace telvane
