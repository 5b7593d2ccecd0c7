// The optional notification-area icon: the service's tooltip (the last
// caller, the last answered query), a dimmed look while the adapter does not
// answer, a click to show or hide the window, and a small menu.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;
class QWidget;

namespace telvane {

class TTrayIcon final : public QObject {
    Q_OBJECT
public:
    // window: shown and hidden by a click; hidden when minimised.
    explicit TTrayIcon(QWidget& window, QObject* parent = nullptr);
    ~TTrayIcon() override;

    void Show(const QString& tooltip, bool adapterUp);
    QString ToolTip() const;
    bool AdapterUp() const { return Up_; }

signals:
    void CheckRequested();
    void HistoryRequested();
    void QuitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowWindow();

    QWidget& Window_;
    QSystemTrayIcon* Icon_;
    QIcon Normal_;
    QIcon Unreachable_;
    bool Up_ = true;
};

} // namespace telvane
