#include "service/CallerDescription.h"

#include "callers/CallerDirectory.h"
#include "monitor/ShiftJisUtf8.h"

namespace telvane {

std::string TCallerDescription::Who() const {
    return !Name.empty() ? Name : !Area.empty() ? Area : Withheld;
}

std::string TCallerDescription::Glance() const {
    if (Name.empty()) {
        return Area;
    }
    return Area.empty() ? Name : Name + " (" + Area + ")";
}

std::string TCallerDescription::Details() const {
    std::string lines;
    // A text that is no number is already on show as it is.
    for (const std::string* part : {&Name, Parsed ? &Display : nullptr, &Kind, &Area, &Withheld}) {
        if (part != nullptr && !part->empty()) {
            lines += (lines.empty() ? "" : "\n") + *part;
        }
    }
    return lines;
}

TCallerDescription DescribeCaller(const TCallerDirectory& directory,
                                  const std::string& callerText) {
    TCallerFacts facts = directory.Describe(callerText);
    TCallerDescription description;
    description.Text = Utf8FromShiftJis(callerText);
    description.Parsed = facts.Info.Parsed;
    description.Display = facts.Info.Parsed ? std::move(facts.Info.Display) : description.Text;
    description.Name = std::move(facts.Name);
    description.Area = std::move(facts.Info.Area);
    description.Kind = std::move(facts.Info.Kind);
    description.Withheld = std::move(facts.Info.Withheld);
    description.MatchKey = std::move(facts.Info.MatchKey);
    return description;
}

TCallShown ShownCall(const TCallerDescription& caller, const std::string& callerText,
                     const std::string& timeText, bool notify) {
    TCallShown call;
    call.Event.Number = caller.Text;
    call.Event.Display = caller.Display;
    call.Event.Name = caller.Name;
    call.Event.Area = caller.Area;
    call.Event.NumberKind = caller.Kind;
    call.Caller = callerText;
    call.TimeText = timeText;
    // The number label shows this caller as soon as it is told.
    call.OnShow = !callerText.empty();
    call.Notify = notify;
    call.Title = !caller.Name.empty()   ? caller.Name
                 : !caller.Area.empty() ? caller.Area
                                        : caller.Display;
    call.Body = caller.Display;
    if (!caller.Name.empty() && !caller.Area.empty()) {
        call.Body += "\n" + caller.Area;
    }
    call.Body += "\n" + timeText;
    call.TrayCaller = caller.Name.empty() ? caller.Display : caller.Name + " " + caller.Display;
    return call;
}

} // namespace telvane
