// The caller's name or area at a glance, in the main window: a small label
// in the free row left of the log check box, shown only when there is a
// name or an area to tell. The number label's tooltip gives the details.
#pragma once

#include "monitor/CallSink.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>

namespace telvane {

class TWhoCalled;

class TCallerGlance final : public QObject, public ICallSink {
    Q_OBJECT
public:
    // numberLabel is the window's NumberLabel; callerNumber gives the number
    // the monitor holds now. The glance label becomes a child of the label's
    // window.
    TCallerGlance(TWhoCalled& who, QLabel* numberLabel, std::function<std::string()> callerNumber,
                  QObject* parent = nullptr);
    ~TCallerGlance() override;

    // Shows what is known of the caller whose number the label shows now.
    void Update();
    QLabel* Label() const { return Glance_; }

    // ICallSink.
    void NewCaller(const std::string& number, const std::string& detectionTime,
                   const std::string& previousPollTime) override;
    void AdapterHealth(bool up) override;

signals:
    // A new caller was logged (after the call log line was written).
    void CallLogged();

private:
    void Trace(bool shown, const QString& text, const QString& details) const;

    TWhoCalled& Who_;
    QLabel* Number_;
    QPointer<QLabel> Glance_;
    std::function<std::string()> CallerNumber_;
    QString TraceFile_;
};

} // namespace telvane
