// Turns the signals that ask a program to end into a Qt signal on the
// window thread, so that the program can close in an orderly way.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace telvane {

class TTerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;

signals:
    // One of SIGTERM, SIGINT, SIGHUP or SIGQUIT arrived.
    void TerminationRequested(int signalNumber);

private:
    void Read();
    QSocketNotifier* Notifier_ = nullptr;
};

} // namespace telvane
