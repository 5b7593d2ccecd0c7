// One running program per settings location: two would log every call twice
// and overwrite each other's settings. The first start holds a lock beside
// the settings file and listens on a local socket named after that file; a
// later start finds the lock taken and asks the first, through the socket,
// to bring its window to the front. The lock and the socket are the
// service's; this only watches the socket on the window's thread.
#pragma once

#include "service/InstanceLock.h"
#include "service/Places.h"
#include "service/ShowChannel.h"

#include <QObject>

class QSocketNotifier;

namespace telvane {

class TSingleInstance final : public QObject {
    Q_OBJECT
public:
    // places: where the settings, the lock and the socket are.
    explicit TSingleInstance(const TPlaces& places, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // No other program runs with these settings; this one may go on.
    bool IsFirst() const { return !Lock_.HeldElsewhere(); }
    // Why the lock could not be used (the program then runs unguarded).
    const std::string& LockError() const { return Lock_.Error(); }
    // Asks the first program to show its window; whether it was reached.
    bool AskFirstToShow() const { return Channel_.Ask(); }

signals:
    // A later start asked for the window.
    void ShowRequested();

private:
    TInstanceLock Lock_;
    TShowChannel Channel_;
    QSocketNotifier* Notifier_ = nullptr;
};

} // namespace telvane
