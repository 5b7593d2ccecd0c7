// The optional notification-area icon: the last caller and the last
// answered poll in its tooltip, a dimmed look while the adapter does not
// answer, a click to show or hide the window, and a small menu.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QSystemTrayIcon;
class QWidget;

namespace telvane {

class TTrayIcon final : public QObject {
    Q_OBJECT
public:
    // window: shown and hidden by a click; hidden when minimised.
    TTrayIcon(QWidget& window, std::function<QString()> lastPoll, QObject* parent = nullptr);
    ~TTrayIcon() override;

    void SetLastCaller(const QString& caller);
    void SetAdapterUp(bool up);
    // Whether the menu offers the history, asked when it opens.
    void SetHistoryAvailable(std::function<bool()> available) {
        HistoryAvailable_ = std::move(available);
    }
    bool AdapterUp() const { return Up_; }
    QString ToolTip() const;
    // Reads the last answered poll again; called after each query's result.
    void Refresh();

    // Shows the window in front, whether it was hidden or minimised.
    static void ShowWindow(QWidget& window);

signals:
    void CheckRequested();
    void HistoryRequested();
    void QuitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& Window_;
    std::function<QString()> LastPoll_;
    QSystemTrayIcon* Icon_;
    QAction* History_;
    QIcon Normal_;
    QIcon Unreachable_;
    std::function<bool()> HistoryAvailable_;
    QString LastCaller_;
    bool Up_ = true;
};

} // namespace telvane
