// A window without a toolkit: keeps the controls' state and records what the
// monitor shows, for tests and the simulation.
#pragma once

#include "monitor/View.h"

#include <functional>
#include <string>
#include <vector>

namespace telvane::sim {

class TRecordingView final : public IView {
public:
    TRecordingView();

    std::string PortText() const override { return Port; }
    void SetPortText(const std::string& text) override { Port = text; }
    std::string IntervalText() const override { return Interval; }
    void SetIntervalText(const std::string& text) override { Interval = text; }
    bool LogRingChecked() const override { return LogRing; }
    void SetLogRingChecked(bool checked) override { LogRing = checked; }
    void SetLogRingHint(const std::string& hint) override { LogRingHint = hint; }

    void SetNumberCaption(const std::string& text) override { Number = text; }
    void SetTimeCaption(const std::string& text) override { Time = text; }
    void SetStatusCaption(const std::string& text) override;

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowNotice(const std::string& text) override { Notices.push_back(text); }

    void MinimizeApplication() override;
    void RestoreApplication() override;
    void SetStandbyHandlers(std::function<void()> minimized,
                            std::function<void()> restored) override;

    // Controls.
    std::string Port;
    std::string Interval;
    bool LogRing = false;
    std::string LogRingHint;
    std::string Number = "?";
    std::string Time = "1998/01/01 00:00:00";
    std::string Status = "StatusLabel";
    bool Minimized = false;

    // What was shown, in order.
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
    std::vector<std::string> Notices;
    std::vector<std::string> StatusHistory;

    // Called inside ShowMessage/ShowError, as if the box were open meanwhile.
    std::function<void(const std::string&)> WhileModal;
    // Called for every status caption set.
    std::function<void(const std::string&)> OnStatus;

private:
    std::function<void()> Minimized_;
    std::function<void()> Restored_;
};

} // namespace telvane::sim
