// The desktop notifications of a new caller and of a file that cannot be
// read, through the freedesktop notification service on the session bus.
// Without a bus or a server it says so once on stderr and does nothing
// more: the window is restored by the monitor as before.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

namespace telvane {

class TNotifier final : public QObject {
    Q_OBJECT
public:
    explicit TNotifier(QObject* parent = nullptr);

    // Replaces the notification shown before, if any. caller: the caller
    // text (Shift_JIS) that the naming action names.
    void Show(const QString& summary, const QString& body, const std::string& caller);
    // A warning without actions; replaces the warning shown before, if any.
    void ShowProblem(const QString& summary, const QString& body);

signals:
    void ShowRequested();
    void NameRequested(const std::string& caller);
    // The server's answer to a Notify call came back (for benchmarks).
    void Shown(unsigned id);

private slots:
    void OnAction(unsigned id, const QString& action);

private:
    // shown gets the notification's id once the server has it.
    void Send(const QString& icon, const QString& summary, const QString& body,
              const QStringList& actions, unsigned replaces, std::function<void(unsigned)> shown);
    void Fail(const QString& why);

    bool Connected_ = false;
    bool Reported_ = false;
    bool Actions_ = false;
    unsigned LastId_ = 0;
    unsigned ProblemId_ = 0;
    std::string Caller_;
};

} // namespace telvane
