// The daemon's front end: no window, so the controls are plain values and
// everything the desktop would show goes to standard error as one line,
// "telvaned: ...", which the journal keeps. Nothing here ever waits for
// anyone: a message or error box of the desktop is a line here.
#pragma once

#include "service/FrontEnd.h"

#include <string>

namespace telvane {

class TEventLoop;

// The interval as the desktop's window starts, before the settings are read.
inline constexpr char kDefaultInterval[] = " 5\xE5\x88\x86"; // " 5分"

class TDaemonFrontEnd final : public IFrontEnd {
public:
    explicit TDaemonFrontEnd(TEventLoop& loop) : Loop_(loop) {}

    std::string PortText() const override { return Port_; }
    void SetPortText(const std::string& text) override { Port_ = text; }
    std::string IntervalText() const override { return Interval_; }
    void SetIntervalText(const std::string& text) override { Interval_ = text; }
    bool LogRingChecked() const override { return LogRing_; }
    void SetLogRingChecked(bool checked) override { LogRing_ = checked; }
    // The hint holds the call log's path.
    void SetLogRingHint(const std::string& hint) override { LogHint_ = hint; }
    const std::string& LogRingHint() const { return LogHint_; }
    // The captions change with every query; a line each would flood the log.
    void SetNumberCaption(const std::string& /*text*/) override {}
    void SetTimeCaption(const std::string& /*text*/) override {}
    void SetStatusCaption(const std::string& /*text*/) override {}

    void ShowMessage(const std::string& text) override { Report(text); }
    void ShowError(const std::string& text) override { Report(text); }
    // The service reports every notice as it shows it.
    void ShowNotice(const std::string& /*text*/) override {}
    void Report(const std::string& line) override;
    void MinimizeApplication() override {}
    void RestoreApplication() override {}
    void Post(std::function<void()> task) override;

    void ShowCall(const TCallShown& call) override;
    // A line when the adapter stops answering and when it answers again.
    void ShowTray(const std::string& tooltip, bool adapterUp) override;

private:
    TEventLoop& Loop_;
    // As the desktop's window starts: no port, five minutes, no call log.
    std::string Port_;
    std::string Interval_ = kDefaultInterval;
    bool LogRing_ = false;
    std::string LogHint_;
    bool AdapterUp_ = true;
};

// Writes "telvaned: " and the line to standard error in one write, so that
// lines from several threads never mix.
void ReportLine(const std::string& line);

} // namespace telvane
