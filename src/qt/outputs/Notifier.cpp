#include "qt/outputs/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>

#include <cstdio>

namespace telvane {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

} // namespace

TNotifier::TNotifier(QObject* parent) : QObject(parent) {
    // Only a bus that is there: without an address, D-Bus would start one
    // for the X display, which then outlives Telvane.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    Connected_ = bus.isConnected();
    if (!Connected_) {
        return;
    }
    bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                SLOT(OnAction(uint, QString)));
    // Asked once, without waiting: until the answer comes, no actions.
    auto* watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(Call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                QDBusPendingReply<QStringList> reply = *call;
                Actions_ = !reply.isError() && reply.value().contains(QStringLiteral("actions"));
                call->deleteLater();
            });
}

void TNotifier::Show(const QString& summary, const QString& body, const std::string& caller) {
    Caller_ = caller;
    QStringList actions;
    if (Actions_) {
        actions << QStringLiteral("default") << tr("表示") << QStringLiteral("name")
                << tr("名前を付ける");
    }
    Send(QStringLiteral("call-start"), summary, body, actions, LastId_,
         [this](unsigned id) { LastId_ = id; });
}

void TNotifier::ShowProblem(const QString& summary, const QString& body) {
    Send(QStringLiteral("dialog-warning"), summary, body, {}, ProblemId_,
         [this](unsigned id) { ProblemId_ = id; });
}

void TNotifier::Send(const QString& icon, const QString& summary, const QString& body,
                     const QStringList& actions, unsigned replaces,
                     std::function<void(unsigned)> shown) {
    if (!Connected_) {
        Fail(QStringLiteral("no D-Bus session bus"));
        return;
    }
    QDBusMessage notify = Call(QStringLiteral("Notify"));
    notify << QStringLiteral("Telvane") << replaces << icon << summary << body << actions
           << QVariantMap{} << -1;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, shown = std::move(shown)](QDBusPendingCallWatcher* call) {
                QDBusPendingReply<unsigned> reply = *call;
                if (reply.isError()) {
                    Fail(reply.error().message());
                } else {
                    shown(reply.value());
                    Reported_ = false;
                    emit Shown(reply.value());
                }
                call->deleteLater();
            });
}

void TNotifier::OnAction(unsigned id, const QString& action) {
    if (id != LastId_) {
        return;
    }
    if (action == QLatin1String("name")) {
        emit NameRequested(Caller_);
    } else {
        emit ShowRequested();
    }
}

void TNotifier::Fail(const QString& why) {
    if (Reported_) {
        return;
    }
    Reported_ = true;
    std::fprintf(stderr, "telvane: desktop notification not shown: %s\n",
                 why.toLocal8Bit().constData());
}

} // namespace telvane
