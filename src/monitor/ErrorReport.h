// The top-level error report: what escapes an event handler is shown to the
// user, and the program goes on.
#pragma once

#include "monitor/MonitorError.h"
#include "monitor/View.h"

#include <exception>
#include <utility>

namespace telvane {

// Runs one event handler; an error that escapes it goes to the view's error
// report. Returns whether the handler finished without error.
template <typename Handler> bool RunReportingErrors(IView& view, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::exception& error) {
        view.ShowError(ErrorReportText(error.what()));
        return false;
    }
}

} // namespace telvane
