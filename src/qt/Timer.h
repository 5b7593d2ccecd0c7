// The monitor's timer on a QTimer.
#pragma once

#include "monitor/Timer.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace telvane {

// A precise, periodic window timer. An interval of 0 never ticks: a QTimer
// with interval 0 would fire continuously, so it is not started then.
class TQtTimer final : public QObject, public ITimer {
    Q_OBJECT
public:
    explicit TQtTimer(std::function<void()> onTimer, QObject* parent = nullptr);

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return Enabled_; }
    void SetInterval(std::uint32_t milliseconds) override;
    std::uint32_t Interval() const override { return Interval_; }

private:
    void Restart();

    QTimer Timer_;
    std::function<void()> OnTimer_;
    bool Enabled_ = false;
    std::uint32_t Interval_ = 5000;
};

} // namespace telvane
