// The monitor's texts that the shells show in the user's language: the
// statuses, the captions and the messages it makes. Each is found here by
// its Shift_JIS bytes and named by its Japanese source text, the key of the
// translation (context "MonitorTexts" of translations/telvane_en.ts). What
// is stored is never translated: only what a shell puts on the screen.
#pragma once

#include <string>

namespace telvane {

inline constexpr char kShownTextContext[] = "MonitorTexts";

struct TShownText {
    // The UTF-8 source text of the translation; nullptr when the text is
    // none of the monitor's own (a caller's number, a report).
    const char* Source = nullptr;
    // Whether Source holds %1, which stands for Quoted (Shift_JIS: a port
    // text, an interval text, a path).
    bool Quotes = false;
    std::string Quoted;
    // What followed the known text (Shift_JIS): an appended period, the
    // system's reason for a failure. Shown as it is.
    std::string Rest;
};

TShownText FindShownText(const std::string& shiftJis);

} // namespace telvane
