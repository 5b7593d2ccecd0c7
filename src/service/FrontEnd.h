// What a front end gives the service and hears from it. A front end only
// draws and forwards: every text it is handed is UTF-8 in the user's
// language, already decided; what it does with a control the service asks.
#pragma once

#include "outputs/CallEvent.h"

#include <functional>
#include <string>

namespace telvane {

// A new caller, as every front end shows and tells it.
struct TCallShown {
    TCallEvent Event;       // what the hook and MQTT get too
    std::string Caller;     // the caller text as the monitor holds it (Shift_JIS)
    std::string TimeText;   // the detection time as shown ("2026/12/07 09:57:00")
    bool OnShow = false;    // the window shows this caller now
    bool Notify = false;    // the user wants a desktop notification
    std::string Title;      // of the notification: the name, the area or the number
    std::string Body;       // the number, the area beside a name, the time
    std::string TrayCaller; // the tray's line about the last caller
};

class IFrontEnd {
public:
    virtual ~IFrontEnd() = default;

    // The main window's controls. The selectors' texts are what the user
    // typed or picked; setting one from here is no user change.
    virtual std::string PortText() const = 0;
    virtual void SetPortText(const std::string& text) = 0;
    virtual std::string IntervalText() const = 0;
    virtual void SetIntervalText(const std::string& text) = 0;
    virtual bool LogRingChecked() const = 0;
    virtual void SetLogRingChecked(bool checked) = 0;
    virtual void SetLogRingHint(const std::string& hint) = 0;
    virtual void SetNumberCaption(const std::string& text) = 0;
    virtual void SetTimeCaption(const std::string& text) = 0;
    virtual void SetStatusCaption(const std::string& text) = 0;

    // A modal message box with one OK button; returns when it is closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // The top-level error report: a modal error box.
    virtual void ShowError(const std::string& text) = 0;
    // A notice that does not wait: one box at most, a newer notice takes its
    // place, and the program goes on meanwhile.
    virtual void ShowNotice(const std::string& text) = 0;
    // One line for the user's log (stderr, the journal, the debugger's
    // output); never a box. Called from any thread.
    virtual void Report(const std::string& line) = 0;

    // Minimise the application; restore it from standby, and show it again
    // when it was hidden to the tray. Each does nothing when already so.
    virtual void MinimizeApplication() = 0;
    virtual void RestoreApplication() = 0;

    // Runs task on the window's thread soon, in the order posted. Called
    // from any thread.
    virtual void Post(std::function<void()> task) = 0;

    // What the service found, on the window's thread. A front end draws
    // what it has a place for.
    // The glance at the caller on show: the text beside the number (empty:
    // nothing shown) and the number's details for its tooltip.
    virtual void ShowGlance(const std::string& /*glance*/, const std::string& /*details*/) {}
    virtual void ShowCall(const TCallShown& /*call*/) {}
    // The tray's tooltip and whether the adapter answers.
    virtual void ShowTray(const std::string& /*tooltip*/, bool /*adapterUp*/) {}
    // Names, areas or the problems may read differently; the settings may
    // have changed.
    virtual void CallersChanged() {}
    // A file the user chose cannot be used at all (a contacts file missing or
    // refused): a desktop notification or a balloon that does not wait,
    // never a box. The service says each fault once.
    virtual void NotifyProblem(const std::string& /*title*/, const std::string& /*body*/) {}
    // The service is about to go: let go of what it handed out (an open
    // history) and call it no more.
    virtual void ServiceEnding() {}
    // The service follows another Telvane instead of polling the adapter:
    // the poll controls (port, interval, 即刻, 全部, 待機) do nothing meanwhile.
    virtual void SetFollowing(bool /*following*/) {}
};

} // namespace telvane
