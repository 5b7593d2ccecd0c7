// What the program says about a caller, in UTF-8, the same words in every
// front end: the number as shown, its formatted form, the name, the area,
// the kind of line, and the lines and the glance made of them.
#pragma once

#include "service/FrontEnd.h"

#include <string>

namespace telvane {

class TCallerDirectory;

struct TCallerDescription {
    std::string Text;    // the caller text as the adapter gave it
    std::string Display; // formatted when the number was understood, else Text
    std::string Name;    // from a phonebook; empty when none knows the number
    std::string Area;
    std::string Kind; // the kind of line in plain words
    std::string Withheld;
    std::string MatchKey; // empty when the text holds no number
    bool Parsed = false;

    // The name, else the area, else why the number is withheld.
    std::string Who() const;
    // The main window's glance: "name (area)", the name, the area, or empty.
    std::string Glance() const;
    // The name, the formatted number, its kind, the area and the withheld
    // reason, one a line; empty for a text that says nothing beyond itself.
    std::string Details() const;
};

// callerText: Shift_JIS, as the monitor holds it. Never waits for contacts
// still being read.
TCallerDescription DescribeCaller(const TCallerDirectory& directory, const std::string& callerText);

// A new caller as every front end shows and tells it, but for the event's
// times: callerText as the monitor holds it, timeText as the window shows it.
TCallShown ShownCall(const TCallerDescription& caller, const std::string& callerText,
                     const std::string& timeText, bool notify);

} // namespace telvane
