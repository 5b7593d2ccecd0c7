#pragma once

#include <functional>
#include <string>

namespace telvane {

// The window as the monitor sees it: the controls it reads and writes, and
// the application-wide operations it needs. All texts are Shift_JIS.
// Setting a selector's text from here never counts as a user change.
class IView {
public:
    virtual ~IView() = default;

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

    // A modal message box with one OK button; returns when the user closes it.
    virtual void ShowMessage(const std::string& text) = 0;
    // The top-level error report: a modal error box with the given text.
    virtual void ShowError(const std::string& text) = 0;
    // An error notice that does not wait for the user: returns at once, and
    // the cycle goes on while it is shown. A newer notice replaces it.
    virtual void ShowNotice(const std::string& text) = 0;

    // Minimise or restore the whole application. Each does nothing when the
    // application is already in that state.
    virtual void MinimizeApplication() = 0;
    virtual void RestoreApplication() = 0;
    // Installs the handlers called after the application was minimised or
    // restored, whatever caused it.
    virtual void SetStandbyHandlers(std::function<void()> minimized,
                                    std::function<void()> restored) = 0;
};

} // namespace telvane
